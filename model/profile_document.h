#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "profile_file.h"
#include "text.h"

namespace jnx {

// The bytes of one profile ("INI") file in code page 932, read and patched the way the
// Windows profile functions read and write them, without ever rewriting what a write
// does not address.
//
// Reading: lines end at CR, LF or CR LF; names and values are trimmed of the bytes
// 09-0D, 1A and 20. A line whose first non-blank byte is "[" and that holds a "]" is a
// section header named by what stands between "[" and its last "]". Any other line with
// an "=" is a key line. Names match ignoring the case of ASCII letters only; the first
// matching section and, inside it, the first matching key win. One pair of matching
// quotes around a value is dropped, a NUL byte ends it, and at most kMaxValueLength bytes
// arrive.
//
// Writing: a write replaces the value bytes of its key line and nothing else. A new key
// goes after the last key line of its section, a new section at the end of the file;
// new lines end like the file's first line (CR LF when it has none). Every other byte,
// valid code page 932 or not, is kept as it was.
class ProfileDocument {
public:
    // Longest value a read returns: the read buffer of the Windows function less its
    // terminating NUL.
    static constexpr std::size_t kMaxValueLength = ProfileFile::kReadBufferSize - 1;

    explicit ProfileDocument(std::string bytes = {});

    // The value of `key` in `section`, or `defaultValue` (trailing blanks dropped) when
    // the file has no such key.
    Text read(std::string_view section, std::string_view key, std::string_view defaultValue);

    // The value of `key` in `section` as read() gives it, or none when the file has no such key.
    std::optional<Text> find(std::string_view section, std::string_view key);

    // Stores `value` verbatim (no quoting, no trimming) as the value of `key` in `section`.
    void write(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes with every write applied.
    [[nodiscard]] std::string bytes() const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct Line {
        std::size_t begin = 0;      // first byte of the line
        std::size_t end = 0;        // end of its content, before the line break
        std::size_t next = 0;       // first byte after its line break
        std::size_t nameBegin = 0;  // key or section name, trimmed
        std::size_t nameEnd = 0;
        std::size_t valueBegin = 0;  // key lines: the value, trimmed
        std::size_t valueEnd = 0;
        enum class Kind : unsigned char { Other, Section, Key } kind = Kind::Other;
    };

    // A key line added by a write, kept in the order of the writes.
    struct AddedKey {
        std::string key;
        std::string value;
    };

    struct Section {
        std::size_t header = 0;     // line index of the "[name]" line (kNone for new ones)
        std::size_t firstLine = 0;  // lines after the header up to the next header
        std::size_t endLine = 0;
        std::string name;  // as written by the first write (new sections only)
        bool indexed = false;
        // Key lines in file order with the hash of their folded names; the first match wins.
        std::vector<std::pair<std::uint64_t, std::size_t>> keys;
        std::size_t lastKeyLine = kNone;
        std::vector<AddedKey> added;
    };

    void parse();
    void indexKeys(Section& section);
    Section* findSection(std::string_view name);
    [[nodiscard]] std::size_t findKey(const Section& section, std::string_view key) const;
    std::string_view lineName(const Line& line) const;

    std::string original_;
    std::string newline_;  // how a line added by a write ends
    std::vector<Line> lines_;
    std::vector<Section> sections_;  // those of the file first, then those added by writes
    std::unordered_map<std::string, std::size_t> sectionIndex_;  // folded name -> first section
    std::unordered_map<std::size_t, std::string> replaced_;      // key line -> written value
};

}  // namespace jnx
