#include "profile_document.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
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
// memchr finds the first LF, then a CR before it. It looks at most kWindow bytes ahead
// for the LF: a file of lone CRs would otherwise be searched to its end for every line.
// (A loop over the bytes is plainer, but it took the load and save of the file with
// 80,000 keys in one section from 2.56 to 3.20 times the bare file calls.)
std::size_t LineEnd(std::string_view text, std::size_t pos) {
    constexpr std::size_t kWindow = 256;
    while (pos < text.size()) {
        const char* const begin = text.data() + pos;
        const std::size_t window = std::min(text.size() - pos, kWindow);
        const void* const lf = std::memchr(begin, '\n', window);
        const std::size_t length =
            lf == nullptr ? window : static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
        if (const void* const cr = std::memchr(begin, '\r', length)) {
            return pos + static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
        }
        pos += length;
        if (lf != nullptr) {
            break;
        }
    }
    return pos;
}

// First byte of the line after the one whose content ends at `end`: past its CR LF, CR or
// LF.
std::size_t NextLine(std::string_view text, std::size_t end) {
    if (end >= text.size()) {
        return text.size();
    }
    return end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
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

// Blanks at the start of a line are those that do not end it.
constexpr bool IsIndent(char c) {
    return IsBlank(c) && !IsLineBreak(c);
}

// A line whose first non-blank byte is a "[": where its content ends and, when a "]"
// follows the "[", the name of the section it heads, trimmed: what stands between the
// "[" and the last "]".
struct HeaderLine {
    std::size_t end = 0;
    std::optional<std::pair<std::size_t, std::size_t>> name;
};

// Reads the line of the "[" at `bracket`. No trail byte is a CR or an LF, so the line
// ends at its first one; a line that holds a "]" byte is then read a character at a time,
// so that a trail byte is never taken for "]". A lead byte just before the line break
// stands alone.
HeaderLine ReadHeaderLine(std::string_view text, std::size_t bracket) {
    HeaderLine line;
    line.end = LineEnd(text, bracket + 1);
    if (std::memchr(text.data() + bracket + 1, ']', line.end - bracket - 1) == nullptr) {
        return line;
    }
    std::size_t close = std::string_view::npos;
    for (std::size_t pos = bracket + 1; pos < line.end;) {
        if (text[pos] == ']') {
            close = pos;
        }
        const bool pair =
            cp932::IsLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < line.end;
        pos += pair ? 2 : 1;
    }
    if (close != std::string_view::npos) {
        line.name = Trim(text, bracket + 1, close);
    }
    return line;
}

// The first "=" of the line [begin, end), which is no section header; none when it has
// none, and the line is no key line.
std::optional<std::size_t> EqualsIn(std::string_view text, std::size_t begin, std::size_t end) {
    const void* const equals = std::memchr(text.data() + begin, '=', end - begin);
    if (equals == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(static_cast<const char*>(equals) - text.data());
}

constexpr char FoldLetter(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name with its ASCII letters lower-cased, hashed (FNV-1a) without building it; a
// double-byte character, whose trail byte may look like a letter, is taken as it is.
std::uint64_t FoldedHash(std::string_view name) {
    constexpr std::uint64_t kPrime = 1099511628211ULL;
    std::uint64_t hash = 14695981039346656037ULL;
    for (std::size_t pos = 0; pos < name.size(); ++pos) {
        auto byte = static_cast<unsigned char>(name[pos]);
        if (byte < 0x80) {
            byte = static_cast<unsigned char>(FoldLetter(static_cast<char>(byte)));
        } else if (cp932::IsLeadByte(byte) && pos + 1 < name.size()) {
            hash = (hash ^ byte) * kPrime;
            byte = static_cast<unsigned char>(name[++pos]);  // the trail byte, as it is
        }
        hash = (hash ^ byte) * kPrime;
    }
    return hash;
}

// Whether the names are the same once their ASCII letters are lower-cased, double-byte
// characters compared as they are. Where one name has a double-byte character the other
// must have the same lead byte, so the two split into characters alike.
bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    if (a == b) {
        return true;  // the common case: written as it is asked for
    }
    for (std::size_t pos = 0; pos < a.size(); ++pos) {
        if (cp932::CharLength(a, pos) == 2) {
            if (a[pos] != b[pos] || a[pos + 1] != b[pos + 1]) {
                return false;
            }
            ++pos;
        } else if (FoldLetter(a[pos]) != FoldLetter(b[pos])) {
            return false;
        }
    }
    return true;
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

// --- NameTable ----------------------------------------------------------------------

std::size_t ProfileDocument::NameTable::home(std::uint64_t hash) const {
    // Fibonacci hashing: the multiplication spreads every bit of the hash into the top
    // bits, which pick the slot.
    return static_cast<std::size_t>((hash * 0x9E3779B97F4A7C15ULL) >> (64U - bits_));
}

void ProfileDocument::NameTable::rehash(std::size_t count) {
    if (count > kMaxEntries) {
        throw std::length_error("profile file: too many sections or keys");
    }
    constexpr unsigned kFirstBits = 4;
    bits_ = kFirstBits;
    while ((std::size_t{1} << bits_) < count * 2) {
        ++bits_;
    }
    slots_.assign(std::size_t{1} << bits_, kFree);
}

template <typename IsName>
std::size_t ProfileDocument::NameTable::slotFor(std::uint64_t hash, const IsName& isName) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = home(hash);; i = (i + 1) & mask) {
        const std::uint32_t number = slots_[i];
        if (number == kFree || (hashes_[number] == hash && isName(number))) {
            return i;
        }
    }
}

template <typename SameName>
void ProfileDocument::NameTable::assign(std::vector<std::uint64_t> hashes,
                                        const SameName& sameName) {
    hashes_ = std::move(hashes);
    rehash(hashes_.size());
    for (std::size_t number = 0; number < hashes_.size(); ++number) {
        const auto isName = [&](std::size_t earlier) { return sameName(earlier, number); };
        if (std::uint32_t& slot = slots_[slotFor(hashes_[number], isName)]; slot == kFree) {
            slot = static_cast<std::uint32_t>(number);
        }
    }
}

template <typename IsName>
std::size_t ProfileDocument::NameTable::find(std::uint64_t hash, const IsName& isName) const {
    if (slots_.empty()) {
        return kNone;
    }
    const std::uint32_t number = slots_[slotFor(hash, isName)];
    return number == kFree ? kNone : number;
}

std::size_t ProfileDocument::NameTable::addNew(std::uint64_t hash) {
    const std::size_t number = hashes_.size();
    if (number >= kMaxEntries) {
        throw std::length_error("profile file: too many sections");
    }
    hashes_.push_back(hash);
    if (hashes_.size() * 2 > slots_.size()) {
        // The entries found so far, each of its own name, in a table twice the size.
        const std::vector<std::uint32_t> old = std::exchange(slots_, {});
        rehash(hashes_.size());
        for (const std::uint32_t entry : old) {
            if (entry != kFree) {
                slots_[slotFor(hashes_[entry], [](std::size_t) { return false; })] = entry;
            }
        }
    }
    slots_[slotFor(hash, [](std::size_t) { return false; })] = static_cast<std::uint32_t>(number);
    return number;
}

// --- ProfileDocument ----------------------------------------------------------------

ProfileDocument::ProfileDocument(std::string bytes) : original_(std::move(bytes)) {
    parse();
}

void ProfileDocument::parse() {
    const std::string_view text = original_;

    // Lines the writes add end like the file's first line; CR LF when it has none.
    // (find_first_of("\r\n") would look each byte of a long first line up in its set.)
    const std::size_t firstBreak = LineEnd(text, 0);
    const bool lone = firstBreak < text.size() && text.substr(firstBreak, 2) != "\r\n";
    newline_ = lone ? std::string(1, text[firstBreak]) : std::string("\r\n");

    // Only a line whose first non-blank byte is "[" can head a section: the search goes
    // from "[" to "[" and looks at the lines they start. A "[" behind anything but blanks
    // (a trail byte included: no blank is a lead byte) is inside a line, and so is every
    // "[" after it up to the line's end, where the search goes on.
    std::vector<std::uint64_t> hashes;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const void* const found = std::memchr(text.data() + pos, '[', text.size() - pos);
        if (found == nullptr) {
            break;
        }
        const auto bracket =
            static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
        std::size_t begin = bracket;
        while (begin > 0 && IsIndent(text[begin - 1])) {
            --begin;
        }
        if (begin > 0 && !IsLineBreak(text[begin - 1])) {
            pos = LineEnd(text, bracket + 1);
            continue;
        }
        const HeaderLine line = ReadHeaderLine(text, bracket);
        pos = line.end;
        if (const auto& name = line.name) {
            sections_.push_back({name->first, name->second});
            hashes.push_back(FoldedHash(text.substr(name->first, name->second - name->first)));
        }
    }

    sectionTable_.assign(std::move(hashes), [&](std::size_t a, std::size_t b) {
        return SameName(sectionName(sections_[a]), sectionName(sections_[b]));
    });
}

std::string_view ProfileDocument::sectionName(const Section& section) const {
    if (section.open != kNone && open_[section.open].isNew) {
        return open_[section.open].name;
    }
    return std::string_view(original_).substr(section.nameBegin,
                                              section.nameEnd - section.nameBegin);
}

ProfileDocument::OpenSection& ProfileDocument::openSection(Section& section) {
    if (section.open != kNone) {
        return open_[section.open];
    }
    section.open = open_.size();
    OpenSection& opened = open_.emplace_back();

    // The key lines from the header's next line to the next header or the end.
    const std::string_view text = original_;
    // Room for the keys of a usual section at once, rather than growing a key at a time.
    constexpr std::size_t kUsualKeys = 16;
    std::vector<std::uint64_t> hashes;
    hashes.reserve(kUsualKeys);
    opened.keyEquals.reserve(kUsualKeys);
    std::size_t pos = NextLine(text, LineEnd(text, section.nameEnd));
    opened.insertAt = pos;
    while (pos < text.size()) {
        std::size_t first = pos;
        while (first < text.size() && IsIndent(text[first])) {
            ++first;
        }
        std::size_t end = 0;
        if (first < text.size() && text[first] == '[') {
            const HeaderLine line = ReadHeaderLine(text, first);
            if (line.name) {
                break;
            }
            end = line.end;
        } else {
            end = LineEnd(text, first);
        }
        if (const std::optional<std::size_t> equals = EqualsIn(text, first, end)) {
            opened.keyEquals.push_back(*equals);
            const auto [nameBegin, nameEnd] = Trim(text, pos, *equals);
            hashes.push_back(FoldedHash(text.substr(nameBegin, nameEnd - nameBegin)));
            opened.insertAt = NextLine(text, end);
        }
        pos = NextLine(text, end);
    }

    opened.keys.assign(std::move(hashes), [&](std::size_t a, std::size_t b) {
        return SameName(keyName(opened.keyEquals[a]), keyName(opened.keyEquals[b]));
    });
    return opened;
}

ProfileDocument::OpenSection* ProfileDocument::findSection(std::string_view name) {
    const auto isName = [&](std::size_t number) {
        return SameName(sectionName(sections_[number]), name);
    };
    const std::size_t index = sectionTable_.find(FoldedHash(name), isName);
    if (index == kNone) {
        return nullptr;
    }
    return &openSection(sections_[index]);
}

std::string_view ProfileDocument::keyName(std::size_t equals) const {
    const std::string_view text = original_;
    std::size_t begin = equals;
    while (begin > 0 && !IsLineBreak(text[begin - 1])) {
        --begin;
    }
    const auto [nameBegin, nameEnd] = Trim(text, begin, equals);
    return text.substr(nameBegin, nameEnd - nameBegin);
}

std::pair<std::size_t, std::size_t> ProfileDocument::valueBytes(std::size_t equals) const {
    const std::size_t end = LineEnd(original_, equals + 1);
    const auto [begin, valueEnd] = Trim(original_, equals + 1, end);
    if (begin == valueEnd) {
        return {equals + 1, equals + 1};
    }
    return {begin, valueEnd};
}

std::size_t ProfileDocument::findKey(const OpenSection& section, std::string_view key) const {
    const auto isName = [&](std::size_t number) {
        return SameName(keyName(section.keyEquals[number]), key);
    };
    return section.keys.find(FoldedHash(key), isName);
}

std::optional<Text> ProfileDocument::find(std::string_view section, std::string_view key) {
    if (OpenSection* found = findSection(section)) {
        if (const std::size_t number = findKey(*found, key); number != kNone) {
            if (!found->written.empty() && found->written[number] != kNone) {
                return ValueAsRead(replaced_[found->written[number]].value);
            }
            const auto [valueBegin, valueEnd] = valueBytes(found->keyEquals[number]);
            return ValueAsRead(
                std::string_view(original_).substr(valueBegin, valueEnd - valueBegin));
        }
        for (const AddedKey& added : found->added) {
            if (SameName(added.key, key)) {
                return ValueAsRead(added.value);
            }
        }
    }
    return std::nullopt;
}

Text ProfileDocument::asRead(std::string_view value) {
    return ValueAsRead(value);
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
    OpenSection* found = findSection(section);
    if (found == nullptr) {
        sectionTable_.addNew(FoldedHash(section));  // numbered as the next section
        sections_.push_back({0, 0, open_.size()});
        OpenSection& created = open_.emplace_back();
        created.isNew = true;
        created.name = std::string(section);
        found = &created;
    }
    if (const std::size_t number = findKey(*found, key); number != kNone) {
        const bool writtenBefore = !found->written.empty() && found->written[number] != kNone;
        const auto [valueBegin, valueEnd] = valueBytes(found->keyEquals[number]);
        if (!writtenBefore &&
            std::string_view(original_).substr(valueBegin, valueEnd - valueBegin) == value) {
            return;  // the line holds these very bytes: nothing to replace
        }
        if (found->written.empty()) {
            found->written.assign(found->keyEquals.size(), kNone);
        }
        std::size_t& index = found->written[number];
        if (index == kNone) {
            index = replaced_.size();
            replaced_.push_back({valueBegin, valueEnd, std::string()});
        }
        replaced_[index].value.assign(value);
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

std::vector<std::string_view> ProfileDocument::pieces() const {
    // Every change is a splice at an offset of the original bytes: a replaced value
    // range, or new key lines after the line break that ends a section's last key line
    // (or its header).
    struct Splice {
        std::size_t offset;
        std::size_t skip;  // original bytes the splice replaces
        int order;         // a replaced value comes before lines inserted at its offset
        const std::string* value;
        const OpenSection* section;
    };
    std::vector<Splice> splices;
    splices.reserve(replaced_.size() + open_.size());
    for (const Replacement& replacement : replaced_) {
        splices.push_back({replacement.valueBegin, replacement.valueEnd - replacement.valueBegin, 0,
                           &replacement.value, nullptr});
    }
    std::size_t addedKeys = 0;
    for (const OpenSection& section : open_) {
        addedKeys += section.added.size();
        if (!section.isNew && !section.added.empty()) {
            splices.push_back({section.insertAt, 0, 1, nullptr, &section});
        }
    }
    std::sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) {
        return std::tie(a.offset, a.order) < std::tie(b.offset, b.order);
    });

    std::vector<std::string_view> out;
    out.reserve(splices.size() * 2 + addedKeys * 4 + open_.size() * 4 + 1);
    bool endsWithBreak = true;  // nothing yet, or a line break last
    const auto put = [&](std::string_view piece) {
        if (!piece.empty()) {
            out.push_back(piece);
            endsWithBreak = IsLineBreak(piece.back());
        }
    };
    // Added key lines, each after a line break, so that nothing runs into the line before.
    const auto putKeys = [&](const OpenSection& section) {
        bool first = true;
        for (const AddedKey& added : section.added) {
            if (!first || !endsWithBreak) {
                put(newline_);
            }
            first = false;
            put(added.key);
            put("=");
            put(added.value);
        }
    };

    const std::string_view original = original_;
    std::size_t pos = 0;
    for (const Splice& splice : splices) {
        put(original.substr(pos, splice.offset - pos));
        pos = splice.offset + splice.skip;
        if (splice.value != nullptr) {
            put(*splice.value);
        } else {
            putKeys(*splice.section);
            // A lone CR before an old LF would read as one break and swallow the line
            // the LF ends; where the file mixes endings like that, end with CR LF.
            const bool merges = newline_ == "\r" && pos < original.size() && original[pos] == '\n';
            put(merges ? std::string_view("\r\n") : std::string_view(newline_));
        }
    }
    put(original.substr(pos));

    for (const OpenSection& section : open_) {
        if (!section.isNew) {
            continue;
        }
        if (!endsWithBreak) {
            put(newline_);
        }
        put("[");
        put(section.name);
        put("]");
        putKeys(section);
        put(newline_);
    }
    return out;
}

std::string ProfileDocument::bytes() const {
    const std::vector<std::string_view> all = pieces();
    std::size_t size = 0;
    for (const std::string_view piece : all) {
        size += piece.size();
    }
    std::string out;
    out.reserve(size);
    for (const std::string_view piece : all) {
        out += piece;
    }
    return out;
}

}  // namespace jnx
