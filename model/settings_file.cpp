#include "settings_file.h"

#include "cp932.h"
#include "int_conversion.h"
#include "profile_file.h"
#include "tables.h"

namespace jnx {

namespace {

// Every read passes one blank as its default.
constexpr std::string_view kDefault = " ";
constexpr std::string_view kTrue = "True";
constexpr std::string_view kFalse = "False";

constexpr std::string_view kDirSection = "Dir";
constexpr std::string_view kBetAutoReadKey = "BetAutoRead";
constexpr std::string_view kPatDataKey = "PatData";
constexpr std::string_view kOptionsSection = "Options";
constexpr std::string_view kPauseKey = "OKStep";

}  // namespace

std::string FolderPart(std::string_view path, char separator) {
    const std::size_t last = cp932::FindLastChar(path, separator);
    return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

void ReadIni(SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const std::string section = GroupSection(g);
        GroupSettings& group = model.group(g);
        group.active = profile.read(section, kActiveKey, kDefault) == kTrue;
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            Text& field = group.fields[k];
            field = profile.read(section, FieldKey[k], kDefault);
            if (k == kTypeField) {
                if (const auto name = BetTypeNameByCode(field)) {
                    field = *name;
                }
            } else if (k == kCourseField) {
                // Numbers without a course (0, 11, -3 …) stay as the text read.
                if (const auto name = CourseNameByNumber(StrToInt(field))) {
                    field = *name;
                }
            }
        }
    }
    model.betAutoReadFolder = profile.read(kDirSection, kBetAutoReadKey, kDefault);
    model.patFolder = profile.read(kDirSection, kPatDataKey, kDefault);
    model.pauseText = profile.read(kOptionsSection, kPauseKey, kDefault);
}

void WriteIni(const SettingsModel& model, const std::string& path) {
    ProfileFile profile(path);
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const std::string section = GroupSection(g);
        const GroupSettings& group = model.group(g);
        profile.write(section, kActiveKey, group.active ? kTrue : kFalse);
        for (std::size_t k = 0; k < kFieldCount; ++k) {
            const Text& field = group.fields[k];
            profile.write(section, FieldKey[k], field);
            if (k == kTypeField) {
                if (const auto code = BetTypeCodeByName(field)) {
                    profile.write(section, FieldKey[k], *code);
                }
            } else if (k == kCourseField) {
                if (const auto number = CourseNumberByName(field)) {
                    profile.write(section, FieldKey[k], IntToStr(*number));
                }
            }
        }
    }
    profile.write(kDirSection, kBetAutoReadKey, model.betAutoReadFolder);
    profile.write(kDirSection, kPatDataKey, model.patFolder);
    profile.write(kOptionsSection, kPauseKey, model.pauseText == kTrue ? kTrue : kFalse);
    profile.commit();
}

}  // namespace jnx
