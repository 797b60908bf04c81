#include "profile_document.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>
#include <utility>

#include "cp932.h"

namespace jnx {

namespace {

// The bytes the profile functions trim from names and values.
constexpr bool IsBlank(char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

constexpr bool IsLineBreak(char c) {
    return c == '\r' || c == '\n';
}

// End of the line that starts at `pos`: its first CR or LF, or the end of the text.
std::size_t LineEnd(std::string_view text, std::size_t pos) {
    const char* const begin = text.data() + pos;
    const std::size_t rest = text.size() - pos;
    const void* lf = std::memchr(begin, '\n', rest);
    const std::size_t toLf = lf != nullptr ? static_cast<const char*>(lf) - begin : rest;
    const void* cr = std::memchr(begin, '\r', toLf);
    return pos + (cr != nullptr ? static_cast<const char*>(cr) - begin : toLf);
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

// Lower-cases ASCII letters only; a double-byte character, whose trail byte may look
// like a letter, is kept as it is.
std::string Fold(std::string_view name) {
    std::string folded(name);
    for (std::size_t pos = 0; pos < folded.size();) {
        const std::size_t length = cp932::CharLength(folded, pos);
        if (length == 1 && folded[pos] >= 'A' && folded[pos] <= 'Z') {
            folded[pos] = static_cast<char>(folded[pos] - 'A' + 'a');
        }
        pos += length;
    }
    return folded;
}

// The name with its ASCII letters lower-cased, hashed (FNV-1a) without building it.
std::uint64_t FoldedHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::size_t pos = 0; pos < name.size();) {
        const std::size_t length = cp932::CharLength(name, pos);
        for (std::size_t i = 0; i < length; ++i) {
            char c = name[pos + i];
            if (length == 1 && c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
        pos += length;
    }
    return hash;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && Fold(a) == Fold(b);
}

// At most kMaxValueLength bytes, never half a double-byte character.
std::string_view Limit(std::string_view value, std::size_t maxLength) {
    if (value.size() <= maxLength) {
        return value;
    }
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t length = cp932::CharLength(value, pos);
        if (pos + length > maxLength) {
            break;
        }
        pos += length;
    }
    return value.substr(0, pos);
}

std::string_view CutAtNul(std::string_view value) {
    return value.substr(0, std::min(value.size(), value.find('\0')));
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// What a read returns for a value that stands in the file after "key=".
Text ValueAsRead(std::string_view raw) {
    const auto [begin, end] = Trim(raw, 0, raw.size());
    return Text(
        Limit(Unquote(CutAtNul(raw.substr(begin, end - begin))), ProfileDocument::kMaxValueLength));
}

}  // namespace

ProfileDocument::ProfileDocument(std::string bytes) : original_(std::move(bytes)) {
    parse();
}

void ProfileDocument::parse() {
    const std::string_view text = original_;

    // Lines the writes add end like the file's first line; CR LF when it has none.
    const std::size_t firstBreak = text.find_first_of("\r\n");
    const bool lone = firstBreak != std::string_view::npos && text.substr(firstBreak, 2) != "\r\n";
    newline_ = lone ? std::string(1, text[firstBreak]) : std::string("\r\n");

    lines_.reserve(text.size() / 32 + 1);
    std::size_t pos = 0;
    while (pos < text.size()) {
        Line line;
        line.begin = pos;
        line.end = LineEnd(text, pos);
        line.next = line.end;
        if (line.next < text.size()) {
            line.next += (text[line.next] == '\r' && line.next + 1 < text.size() &&
                          text[line.next + 1] == '\n')
                             ? 2
                             : 1;
        }
        pos = line.next;

        const auto [start, stop] = Trim(text, line.begin, line.end);
        if (start < stop && text[start] == '[') {
            const std::string_view inner = text.substr(start + 1, stop - start - 1);
            const std::size_t close = cp932::FindLastChar(inner, ']');
            if (close != std::string_view::npos) {
                line.kind = Line::Kind::Section;
                std::tie(line.nameBegin, line.nameEnd) = Trim(text, start + 1, start + 1 + close);
                lines_.push_back(line);
                continue;
            }
        }
        const std::size_t equals = text.substr(0, line.end).find('=', start);
        if (equals != std::string_view::npos) {
            line.kind = Line::Kind::Key;
            std::tie(line.nameBegin, line.nameEnd) = Trim(text, start, equals);
            std::tie(line.valueBegin, line.valueEnd) = Trim(text, equals + 1, line.end);
            if (line.valueBegin == line.valueEnd) {
                line.valueBegin = line.valueEnd = equals + 1;
            }
        }
        lines_.push_back(line);
    }

    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Line::Kind::Section) {
            continue;
        }
        if (!sections_.empty()) {
            sections_.back().endLine = i;
        }
        Section section;
        section.header = i;
        section.firstLine = i + 1;
        section.endLine = lines_.size();
        sectionIndex_.emplace(Fold(lineName(lines_[i])), sections_.size());
        sections_.push_back(std::move(section));
    }
}

std::string_view ProfileDocument::lineName(const Line& line) const {
    return std::string_view(original_).substr(line.nameBegin, line.nameEnd - line.nameBegin);
}

void ProfileDocument::indexKeys(Section& section) {
    section.indexed = true;
    for (std::size_t i = section.firstLine; i < section.endLine; ++i) {
        if (lines_[i].kind == Line::Kind::Key) {
            section.keys.emplace_back(FoldedHash(lineName(lines_[i])), i);
            section.lastKeyLine = i;
        }
    }
}

std::size_t ProfileDocument::findKey(const Section& section, std::string_view key) const {
    const std::uint64_t hash = FoldedHash(key);
    for (const auto& [keyHash, line] : section.keys) {
        if (keyHash == hash && SameName(lineName(lines_[line]), key)) {
            return line;
        }
    }
    return kNone;
}

ProfileDocument::Section* ProfileDocument::findSection(std::string_view name) {
    const auto found = sectionIndex_.find(Fold(name));
    if (found == sectionIndex_.end()) {
        return nullptr;
    }
    Section& section = sections_[found->second];
    if (!section.indexed) {
        indexKeys(section);
    }
    return &section;
}

std::optional<Text> ProfileDocument::find(std::string_view section, std::string_view key) {
    if (Section* found = findSection(section)) {
        if (const std::size_t line = findKey(*found, key); line != kNone) {
            if (const auto written = replaced_.find(line); written != replaced_.end()) {
                return ValueAsRead(written->second);
            }
            const Line& keyLine = lines_[line];
            return ValueAsRead(std::string_view(original_).substr(
                keyLine.valueBegin, keyLine.valueEnd - keyLine.valueBegin));
        }
        for (const AddedKey& added : found->added) {
            if (SameName(added.key, key)) {
                return ValueAsRead(added.value);
            }
        }
    }
    return std::nullopt;
}

Text ProfileDocument::read(std::string_view section, std::string_view key,
                           std::string_view defaultValue) {
    if (std::optional<Text> found = find(section, key)) {
        return std::move(*found);
    }
    std::string_view value = defaultValue;
    while (!value.empty() && value.back() == ' ') {
        value.remove_suffix(1);
    }
    return Text(Limit(Unquote(CutAtNul(value)), kMaxValueLength));
}

void ProfileDocument::write(std::string_view section, std::string_view key,
                            std::string_view value) {
    Section* found = findSection(section);
    if (found == nullptr) {
        Section added;
        added.header = kNone;
        added.name = std::string(section);
        added.indexed = true;
        sectionIndex_.emplace(Fold(section), sections_.size());
        sections_.push_back(std::move(added));
        found = &sections_.back();
    }
    if (const std::size_t line = findKey(*found, key); line != kNone) {
        replaced_[line] = std::string(value);
        return;
    }
    for (AddedKey& added : found->added) {
        if (SameName(added.key, key)) {
            added.value = std::string(value);
            return;
        }
    }
    found->added.push_back({std::string(key), std::string(value)});
}

std::string ProfileDocument::bytes() const {
    // Every change is a splice at an offset of the original bytes: a replaced value
    // range, or new key lines after the line break that ends a section's last key line
    // (or its header).
    struct Splice {
        std::size_t offset;
        std::size_t skip;  // original bytes the splice replaces
        int order;         // a replaced value comes before lines inserted at its offset
        const std::string* value;
        const Section* section;
    };
    std::vector<Splice> splices;
    splices.reserve(replaced_.size() + sections_.size());
    for (const auto& [index, value] : replaced_) {
        const Line& line = lines_[index];
        splices.push_back({line.valueBegin, line.valueEnd - line.valueBegin, 0, &value, nullptr});
    }
    std::size_t extra = 0;
    for (const Section& section : sections_) {
        extra += section.name.size() + 2 + newline_.size() * 2;
        for (const AddedKey& added : section.added) {
            extra += added.key.size() + added.value.size() + 1 + newline_.size();
        }
        if (section.header != kNone && !section.added.empty()) {
            const std::size_t anchor =
                section.lastKeyLine != kNone ? section.lastKeyLine : section.header;
            splices.push_back({lines_[anchor].next, 0, 1, nullptr, &section});
        }
    }
    std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) {
        return std::tie(a.offset, a.order) < std::tie(b.offset, b.order);
    });

    std::string out;
    out.reserve(original_.size() + extra);
    const auto endsWithBreak = [&out] { return out.empty() || IsLineBreak(out.back()); };
    // Added key lines, each after a line break, so that nothing runs into the line before.
    const auto appendKeys = [&](const Section& section) {
        bool first = true;
        for (const AddedKey& added : section.added) {
            if (!first || !endsWithBreak()) {
                out += newline_;
            }
            first = false;
            out.append(added.key).append("=").append(added.value);
        }
    };

    std::size_t pos = 0;
    for (const Splice& splice : splices) {
        out.append(original_, pos, splice.offset - pos);
        pos = splice.offset + splice.skip;
        if (splice.value != nullptr) {
            out += *splice.value;
        } else {
            appendKeys(*splice.section);
            // A lone CR before an old LF would read as one break and swallow the line
            // the LF ends; where the file mixes endings like that, end with CR LF.
            const bool merges =
                newline_ == "\r" && pos < original_.size() && original_[pos] == '\n';
            out += merges ? std::string_view("\r\n") : std::string_view(newline_);
        }
    }
    out.append(original_, pos, std::string::npos);

    for (const Section& section : sections_) {
        if (section.header != kNone) {
            continue;
        }
        if (!endsWithBreak()) {
            out += newline_;
        }
        out.append("[").append(section.name).append("]");
        appendKeys(section);
        out += newline_;
    }
    return out;
}

}  // namespace jnx
