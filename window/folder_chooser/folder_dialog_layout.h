#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "window_layout.h"

namespace jnx::layout {

// The folder chooser "ディレクトリの選択": its size, controls, captions and the question it
// asks, in pixels at 96 dots per inch relative to its client area. Texts are UTF-8.

inline constexpr std::string_view kFolderDialogCaption = "ディレクトリの選択";
inline constexpr int kFolderDialogWidth = 424;  // client area
inline constexpr int kFolderDialogHeight = 255;
inline constexpr int kFolderHelpTopic = 1000;

enum class DialogControl : std::size_t {
    NameLabel,
    NameBox,  // the folder's name, typed or taken from the folder list
    ListLabel,
    FolderList,
    FileLabel,
    FileList,
    DriveLabel,
    DriveBox,
    Ok,
    Cancel,
    Help,
};

struct DialogPlace {
    std::string_view name;
    std::string_view caption;
    Rect rect;
};

inline constexpr std::array<DialogPlace, 11> kDialogControls = {{
    {"NameLabel", "ディレクトリ名(&N):", {8, 8, 92, 13}},
    {"NameBox", "", {8, 24, 313, 20}},
    {"ListLabel", "ディレクトリ(&D):", {8, 56, 66, 13}},
    {"FolderList", "", {8, 72, 213, 138}},
    {"FileLabel", "ファイル(&F): (*.*)", {232, 56, 57, 13}},
    {"FileList", "", {232, 72, 185, 93}},
    {"DriveLabel", "ドライブ(&R):", {232, 176, 41, 13}},
    {"DriveBox", "", {232, 192, 185, 19}},
    {"OkButton", "OK", {172, 224, 77, 27}},
    {"CancelButton", "キャンセル", {256, 224, 77, 27}},
    {"HelpButton", "ヘルプ(&H)", {340, 224, 77, 27}},
}};

constexpr const DialogPlace& PlaceOf(DialogControl control) {
    return kDialogControls[static_cast<std::size_t>(control)];
}

inline constexpr int kFolderItemHeight = 17;
inline constexpr int kFileItemHeight = 13;
inline constexpr int kFolderIndent = 10;  // per level of the folder list

// The dialog's tab order; the folder list has the focus when it opens.
inline constexpr std::array<DialogControl, 7> kDialogTabOrder = {
    DialogControl::FolderList, DialogControl::NameBox,  DialogControl::DriveBox, DialogControl::Ok,
    DialogControl::Cancel,     DialogControl::FileList, DialogControl::Help};

// Asked before a folder that does not exist is accepted.
inline constexpr std::string_view kCreateQuestion =
    "指定されたディレクトリが存在しません。作成しますか？";
inline constexpr std::string_view kCreateQuestionCaption = "確認";
inline constexpr std::string_view kYesCaption = "はい(&Y)";
inline constexpr std::string_view kNoCaption = "いいえ(&N)";

// Said, under the dialog's caption, when "OK" cannot take the folder-name box's text: the
// settings file could not store it (a character code page 932 lacks, a line break), or it
// names a file.
inline constexpr std::string_view kUnstorableNameMessage =
    "設定ファイルに保存できない文字がディレクトリ名に含まれています。";
inline constexpr std::string_view kNotAFolderMessage =
    "指定されたパスはディレクトリではありません。";

}  // namespace jnx::layout
