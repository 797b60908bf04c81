#include "controls/cp932_text.h"

#include <algorithm>
#include <array>
#include <utility>

#include "cp932.h"
#include "cp932_codepoint.h"

namespace jnx {

namespace {

// Private-use characters that stand for bytes code page 932 cannot decode. Code page
// 932's own private-use range ends at U+E757, so these never clash with real text.
constexpr char32_t kByteEscape = 0xF700;

constexpr std::array<std::pair<char16_t, char16_t>, 6> kJisToCp932 = {{
    {u'\u301C', u'\uFF5E'},  // 〜 WAVE DASH → ～ FULLWIDTH TILDE
    {u'\u2016', u'\u2225'},  // ‖ DOUBLE VERTICAL LINE → ∥ PARALLEL TO
    {u'\u2212', u'\uFF0D'},  // − MINUS SIGN → － FULLWIDTH HYPHEN-MINUS
    {u'\u00A2', u'\uFFE0'},  // ¢ → ￠
    {u'\u00A3', u'\uFFE1'},  // £ → ￡
    {u'\u00AC', u'\uFFE2'},  // ¬ → ￢
}};

bool IsEscapedByte(char32_t c) {
    return c >= kByteEscape + 0x80 && c <= kByteEscape + 0xFF;
}

// The bytes of one character as the file stores it; nothing for a character that has
// no exact code page 932 form.
std::optional<std::string> EncodeChar(char32_t c) {
    if (c < 0x80) {
        return std::string(1, static_cast<char>(c));
    }
    if (IsEscapedByte(c)) {
        return std::string(1, static_cast<char>(c - kByteEscape));
    }
    return cp932::EncodeCodePoint(c);
}

}  // namespace

QString DecodeCp932(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[pos]);
        if (byte < 0x80) {
            text.append(QChar(byte));
            ++pos;
            continue;
        }
        const std::size_t length = cp932::CharLength(bytes, pos);
        const std::optional<char32_t> decoded = cp932::DecodeUnit(bytes.substr(pos, length));
        if (decoded) {
            const char32_t c = *decoded;
            text.append(QString::fromUcs4(&c, 1));
            pos += length;
        } else {
            // Only this byte is kept aside; what follows it may still be a character.
            const char32_t escaped = kByteEscape + byte;
            text.append(QString::fromUcs4(&escaped, 1));
            ++pos;
        }
    }
    return text;
}

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ToCp932Forms(QString text) {
    for (const auto& [jis, windows] : kJisToCp932) {
        text.replace(QChar(jis), QChar(windows));
    }
    return text;
}

std::optional<std::string> EncodeCp932(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()) * 2);
    for (const char32_t c : ToCp932Forms(text).toUcs4()) {
        const std::optional<std::string> encoded = EncodeChar(c);
        if (!encoded) {
            return std::nullopt;
        }
        bytes += *encoded;
    }
    return bytes;
}

bool IsStorableText(const QString& text) {
    const QList<uint> characters = ToCp932Forms(text).toUcs4();
    return std::all_of(characters.begin(), characters.end(), [](uint c) {
        return c != U'\0' && c != U'\r' && c != U'\n' && EncodeChar(c).has_value();
    });
}

QValidator::State Cp932Validator::validate(QString& input, int& /*pos*/) const {
    const QString converted = ToCp932Forms(input);
    if (!IsStorableText(converted)) {
        return Invalid;
    }
    if (converted != input) {
        input = converted;  // each replacement is one character for one, so pos stays
    }
    return Acceptable;
}

}  // namespace jnx
