// The input as the contents of a settings file, read and patched through ProfileDocument.
// Aborts when
// - bytes() with no write does not give back the input exactly;
// - a read returns more than 2047 bytes, or a NUL, CR or LF;
// - after the writes, a written key does not read back its value, or a key not written
//   reads differently, in the document or in a new document made from its bytes();
// - the saved bytes lost a line or gained more than the writes add (one per new key, and
//   one per new section header at most);
// - the same writes on that new document change its bytes (a second save must be a
//   no-op).
// The first bytes of the input also choose the sections read and the writes made; the
// written values are slices of the input, cut so that a read gives them back unchanged.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "profile_document.h"
#include "tables.h"

namespace {

using jnx::ProfileDocument;

void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "profile_fuzzer: %s\n", what);
        std::abort();
    }
}

// The bytes a read trims from names and values.
bool IsBlank(char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == 0x20;
}

// Names here are ASCII: lower case is how the document matches them.
std::string Folded(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return folded;
}

// A value a write stores and a read gives back as it is: no CR, LF or NUL, no blanks
// around it, not wrapped in a pair of quotes, at most 2047 bytes.
std::string StorableValue(std::string_view raw) {
    std::string value;
    for (const char c : raw) {
        if (c != '\r' && c != '\n' && c != '\0') {
            value += c;
        }
    }
    const auto first = std::find_if(value.begin(), value.end(), [](char c) { return !IsBlank(c); });
    value.erase(value.begin(), first);
    if (value.size() > ProfileDocument::kMaxValueLength) {
        value.resize(ProfileDocument::kMaxValueLength);
    }
    for (;;) {
        while (!value.empty() && IsBlank(value.back())) {
            value.pop_back();
        }
        const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                            value.back() == value.front();
        if (!quoted) {
            return value;
        }
        value.pop_back();
    }
}

// Lines as the document splits them: each ends at CR LF, CR or LF; the last may have none.
std::size_t LineCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool crlf = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        if ((text[i] == '\r' && !crlf) || text[i] == '\n') {
            ++count;
        }
    }
    if (!text.empty() && text.back() != '\r' && text.back() != '\n') {
        ++count;
    }
    return count;
}

struct Slot {
    std::string section;
    std::string key;
    [[nodiscard]] std::pair<std::string, std::string> folded() const {
        return {Folded(section), Folded(key)};
    }
};

// Group sections and keys as the editor uses them, sections it does not use, and other
// spellings of the same names; slots are section after section, kKeyCount keys each.
constexpr std::size_t kSectionCount = 8;
constexpr std::size_t kKeyCount = jnx::kFieldCount + 6;

std::vector<Slot> Slots(std::uint8_t first, std::uint8_t second) {
    const std::array<std::string, kSectionCount> sections = {
        jnx::GroupSection(first % jnx::kGroupCount),
        jnx::GroupSection(second % jnx::kGroupCount),
        "Group0",
        "gROUP0",
        "Dir",
        "Options",
        "Log",
        "Fuzz",
    };
    std::vector<std::string> keys(jnx::FieldKey.begin(), jnx::FieldKey.end());
    keys.insert(keys.end(), {std::string(jnx::kActiveKey), "TYPE", "BetAutoRead", "PatData",
                             "OKStep", "Entry00001"});
    std::vector<Slot> slots;
    for (const std::string& section : sections) {
        for (const std::string& key : keys) {
            slots.push_back({section, key});
        }
    }
    return slots;
}

// Every read gives what a read may give.
std::vector<jnx::Text> ReadAll(ProfileDocument& document, const std::vector<Slot>& slots) {
    std::vector<jnx::Text> values;
    values.reserve(slots.size());
    for (const Slot& slot : slots) {
        jnx::Text value = document.read(slot.section, slot.key, " ");
        Require(value.size() <= ProfileDocument::kMaxValueLength, "a read exceeds 2047 bytes");
        Require(value.find_first_of(std::string_view("\r\n\0", 3)) == jnx::Text::npos,
                "a read holds CR, LF or NUL");
        values.push_back(std::move(value));
    }
    return values;
}

// Each slot reads its expected value.
void RequireReads(ProfileDocument& document, const std::vector<Slot>& slots,
                  const std::vector<jnx::Text>& expected, const char* what) {
    const std::vector<jnx::Text> values = ReadAll(document, slots);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (values[i] != expected[i]) {
            std::fprintf(stderr, "profile_fuzzer: [%s] %s: read %zu bytes, expected %zu\n",
                         slots[i].section.c_str(), slots[i].key.c_str(), values[i].size(),
                         expected[i].size());
            Require(false, what);
        }
    }
}

struct Write {
    const Slot* slot;
    std::string value;
};

void Apply(ProfileDocument& document, const std::vector<Write>& writes) {
    for (const Write& write : writes) {
        document.write(write.slot->section, write.slot->key, write.value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto byte = [&](std::size_t i) { return i < size ? data[i] : std::uint8_t{0}; };

    const std::vector<Slot> slots = Slots(byte(0), byte(1));
    ProfileDocument document(input);
    const std::vector<jnx::Text> before = ReadAll(document, slots);
    Require(document.bytes() == input, "bytes() without a write differs from the input");

    // Up to seven writes of a slot each; with the top bit of byte 2 set, then every key
    // of one section, as a save writes a whole group. The values are slices of the input,
    // now and then longer than a read returns.
    std::vector<Write> writes;
    const auto add = [&](const Slot& slot, std::size_t seed, std::uint8_t shape) {
        const std::size_t start = size == 0 ? 0 : seed % size;
        const std::size_t length = (shape & 3) == 3 ? 3000 : shape % 64;
        writes.push_back({&slot, StorableValue(std::string_view(input).substr(start, length))});
    };
    for (std::size_t i = 0; i < byte(2) % 8U; ++i) {
        const std::size_t pick = std::size_t{byte(3 + 3 * i)} * 256 + byte(4 + 3 * i);
        add(slots[pick % slots.size()], pick * 131 + i, byte(5 + 3 * i));
    }
    if ((byte(2) & 0x80U) != 0) {
        const std::size_t first = byte(3) % kSectionCount * kKeyCount;
        for (std::size_t k = 0; k < kKeyCount; ++k) {
            add(slots[first + k], std::size_t{byte(4)} * 257 + k * 31, byte(5 + k));
        }
    }
    if (writes.empty()) {
        return 0;
    }

    // A read can tell a missing key by its default: no value in a file holds a CR.
    std::map<std::pair<std::string, std::string>, std::string> written;  // last write wins
    std::size_t newKeys = 0;
    std::set<std::string> sections;
    for (const Write& write : writes) {
        const auto [it, inserted] = written.emplace(write.slot->folded(), write.value);
        if (inserted && document.read(write.slot->section, write.slot->key, "\r") == "\r") {
            ++newKeys;
        }
        it->second = write.value;
        sections.insert(it->first.first);
    }
    Apply(document, writes);

    std::vector<jnx::Text> expected = before;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        if (const auto found = written.find(slots[i].folded()); found != written.end()) {
            expected[i] = found->second;
        }
    }
    RequireReads(document, slots, expected, "a read after the writes is wrong");

    const std::string saved = document.bytes();
    const std::size_t lines = LineCount(saved);
    Require(lines >= LineCount(input) + newKeys, "the saved bytes lost a line");
    Require(lines <= LineCount(input) + newKeys + sections.size(),
            "the saved bytes hold more lines than the writes add");
    ProfileDocument reloaded(saved);
    RequireReads(reloaded, slots, expected, "a read of the saved bytes is wrong");

    Apply(reloaded, writes);
    Require(reloaded.bytes() == saved, "saving the same values again changes the file");
    return 0;
}
