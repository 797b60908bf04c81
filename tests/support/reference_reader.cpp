#include "support/reference_reader.h"

#include <map>

#include "support/printing.h"

namespace jnx::test::reference {

namespace {

constexpr std::size_t kNpos = std::string::npos;

bool IsBlank(char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

struct LineInfo {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string name;            // folded
    std::size_t valueBegin = 0;  // key lines: where a write puts its value
    std::size_t valueEnd = 0;
};

// A line whose first non-blank byte is "[" and that holds a "]" that is no trail byte
// heads the section named between the "[" and the last such "]"; any other line with an
// "=" is a key line, its key before the first "=".
LineInfo Classify(std::string_view content) {
    LineInfo info;
    const auto [begin, end] = Trim(content, 0, content.size());
    if (begin < end && content[begin] == '[') {
        std::size_t close = kNpos;
        for (std::size_t i = begin + 1; i < end; ++i) {
            if (IsLeadByte(content[i]) && i + 1 < end) {
                ++i;
            } else if (content[i] == ']') {
                close = i;
            }
        }
        if (close != kNpos) {
            const auto [nameBegin, nameEnd] = Trim(content, begin + 1, close);
            info.kind = LineInfo::Kind::Section;
            info.name = Fold(content.substr(nameBegin, nameEnd - nameBegin));
            return info;
        }
    }
    const std::size_t equals = content.find('=');
    if (equals == kNpos) {
        return info;
    }
    const auto [nameBegin, nameEnd] = Trim(content, begin, equals);
    auto [valueBegin, valueEnd] = Trim(content, equals + 1, content.size());
    if (valueBegin == valueEnd) {
        valueBegin = valueEnd = equals + 1;
    }
    info.kind = LineInfo::Kind::Key;
    info.name = Fold(content.substr(nameBegin, nameEnd - nameBegin));
    info.valueBegin = valueBegin;
    info.valueEnd = valueEnd;
    return info;
}

std::string KeyLineOf(std::string_view key, std::string_view value) {
    return std::string(key).append("=").append(value);
}

bool SameLine(const Line& expected, const Line& actual) {
    return expected.content == actual.content &&
           (expected.lineBreak == actual.lineBreak ||
            (expected.added && expected.lineBreak == "\r" && actual.lineBreak == "\r\n"));
}

}  // namespace

bool IsLeadByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::string Fold(std::string_view name) {
    std::string folded(name);
    for (std::size_t i = 0; i < folded.size(); ++i) {
        if (IsLeadByte(folded[i]) && i + 1 < folded.size()) {
            ++i;  // a trail byte is never a letter
        } else if (folded[i] >= 'A' && folded[i] <= 'Z') {
            folded[i] = static_cast<char>(folded[i] + ('a' - 'A'));
        }
    }
    return folded;
}

std::pair<std::size_t, std::size_t> Trim(std::string_view text, std::size_t begin,
                                         std::size_t end) {
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return {begin, end};
}

std::vector<Line> SplitLines(std::string_view bytes) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == kNpos) {
            lines.push_back({std::string(bytes.substr(pos)), ""});
            break;
        }
        std::size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') {
            ++next;
        }
        lines.push_back({std::string(bytes.substr(pos, end - pos)),
                         std::string(bytes.substr(end, next - end))});
        pos = next;
    }
    return lines;
}

std::vector<Line> ExpectedLines(std::string_view original,
                                const std::vector<SectionWrites>& writes) {
    std::vector<Line> lines = SplitLines(original);
    std::vector<LineInfo> info;
    info.reserve(lines.size());
    for (const Line& line : lines) {
        info.push_back(Classify(line.content));
    }
    const std::string newline =
        lines.empty() || lines.front().lineBreak.empty() ? "\r\n" : lines.front().lineBreak;

    std::map<std::size_t, std::vector<Line>> insertedAfter;
    std::vector<Line> appended;
    for (const SectionWrites& write : writes) {
        const std::string section = Fold(write.section);
        std::size_t header = kNpos;
        for (std::size_t i = 0; i < lines.size() && header == kNpos; ++i) {
            if (info[i].kind == LineInfo::Kind::Section && info[i].name == section) {
                header = i;
            }
        }
        if (header == kNpos) {
            appended.push_back({"[" + write.section + "]", newline, true});
            for (const auto& [key, value] : write.keys) {
                appended.push_back({KeyLineOf(key, value), newline, true});
            }
            continue;
        }
        std::size_t end = header + 1;
        std::size_t anchor = header;
        for (; end < lines.size() && info[end].kind != LineInfo::Kind::Section; ++end) {
            if (info[end].kind == LineInfo::Kind::Key) {
                anchor = end;
            }
        }
        for (const auto& [key, value] : write.keys) {
            std::size_t found = kNpos;
            for (std::size_t i = header + 1; i < end && found == kNpos; ++i) {
                if (info[i].kind == LineInfo::Kind::Key && info[i].name == Fold(key)) {
                    found = i;
                }
            }
            if (found == kNpos) {
                insertedAfter[anchor].push_back({KeyLineOf(key, value), newline, true});
            } else {
                lines[found].content.replace(info[found].valueBegin,
                                             info[found].valueEnd - info[found].valueBegin, value);
            }
        }
    }

    std::vector<Line> result;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        result.push_back(lines[i]);
        if (const auto inserted = insertedAfter.find(i); inserted != insertedAfter.end()) {
            if (result.back().lineBreak.empty()) {
                result.back().lineBreak = newline;
            }
            result.insert(result.end(), inserted->second.begin(), inserted->second.end());
        }
    }
    if (!appended.empty()) {
        if (!result.empty() && result.back().lineBreak.empty()) {
            result.back().lineBreak = newline;
        }
        result.insert(result.end(), appended.begin(), appended.end());
    }
    return result;
}

std::string FirstLineDifference(const std::vector<Line>& expected,
                                const std::vector<Line>& actual) {
    for (std::size_t i = 0; i < expected.size() || i < actual.size(); ++i) {
        if (i < expected.size() && i < actual.size() && SameLine(expected[i], actual[i])) {
            continue;
        }
        auto describe = [i](const std::vector<Line>& lines) {
            return i < lines.size()
                       ? Escaped(lines[i].content) + " | " + Escaped(lines[i].lineBreak)
                       : std::string("(no line)");
        };
        return "line " + std::to_string(i) + " of " + std::to_string(expected.size()) +
               " expected, " + std::to_string(actual.size()) +
               " found\n  expected: " + describe(expected) + "\n  found:    " + describe(actual);
    }
    return {};
}

}  // namespace jnx::test::reference
