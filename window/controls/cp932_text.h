#pragma once

#include <QString>
#include <QValidator>
#include <optional>
#include <string>
#include <string_view>

namespace jnx {

// Conversion between the settings file's code page 932 bytes and the texts Qt shows.
//
// Decoding never fails: a byte that is not part of a valid code page 932 character
// becomes a private-use character (U+F700 plus the byte) that encodes back to that
// same byte, so a text with such bytes survives an edit of its other characters.

QString DecodeCp932(std::string_view bytes);

// The code page 932 bytes of a text, after ToCp932Forms; nothing when a character has no
// exact form in code page 932.
std::optional<std::string> EncodeCp932(const QString& text);

// A UTF-8 text of the program's own, such as a caption or a control's name from the
// layout tables, as Qt shows it.
QString Utf8(std::string_view text);

// Replaces the characters that Japanese input methods on Linux produce in their JIS form
// with the code page 932 form Windows uses: 〜 U+301C, ‖ U+2016, − U+2212, ¢ U+00A2,
// £ U+00A3 and ¬ U+00AC become U+FF5E, U+2225, U+FF0D, U+FFE0, U+FFE1 and U+FFE2.
QString ToCp932Forms(QString text);

// Whether the settings file can store the text as it is shown: every character has a code
// page 932 form, and none is a line break or NUL (a value is one line of the file).
[[nodiscard]] bool IsStorableText(const QString& text);

// Accepts what the user types or pastes only when it IsStorableText. JIS forms are turned
// into code page 932 forms as they arrive; anything else is refused, so nothing is
// changed silently.
class Cp932Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace jnx
