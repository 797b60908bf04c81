#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
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
//
// Cost: the bytes are parsed once into an index of the sections by name; the key lines of
// a section are indexed by name, each by the place of its "=", when a read or write first
// looks into it. A read or write then costs the same however many sections and keys the
// file holds.
// The bytes after the writes are the file's own with every write spliced in.
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

    // What a read of a key gives back once `value` is stored as its value: blanks and one
    // pair of quotes dropped, cut at a NUL and to kMaxValueLength bytes.
    static Text asRead(std::string_view value);

    // The file's bytes as they were given, before any write.
    [[nodiscard]] const std::string& original() const { return original_; }

    // The file's bytes with every write applied.
    [[nodiscard]] std::string bytes() const;

    // The same bytes as pieces to be put one after the other: views into this document,
    // valid until it is written to or destroyed. Saves the copy of a large file.
    [[nodiscard]] std::vector<std::string_view> pieces() const;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Numbered entries found by the hash of their names with the ASCII letters lower-cased;
    // of the entries of one name only the first is found. Open addressing with linear
    // probing over a power-of-two table kept at most half full. The owner keeps what each
    // number stands for and confirms a hash match against the real name. At most
    // kMaxEntries entries; more throw std::length_error (a file of many gigabytes).
    //
    // Why not std::unordered_map from the folded names to the numbers: with a node and a
    // folded copy of every name, it took the load and save of the file with 80,000 keys in
    // one section from 2.15 to 6.79 times the bare file calls, and of the one with 40,000
    // sections from 2.16 to 3.98 (7.20 and 3.80 with its buckets reserved first). This table
    // keeps a name's hash and number in two arrays.
    class NameTable {
    public:
        static constexpr std::size_t kMaxEntries = 0xFFFFFFFEU;

        // Indexes the entries numbered 0 to hashes.size() - 1, whose names have the given
        // hashes, in number order: an entry that `sameName(earlier, number)` says has the
        // name of an earlier one is left out.
        template <typename SameName>
        void assign(std::vector<std::uint64_t> hashes, const SameName& sameName);

        // The number of the entry whose name has the hash `hash` and that
        // `isName(number)` accepts, or kNone.
        template <typename IsName>
        [[nodiscard]] std::size_t find(std::uint64_t hash, const IsName& isName) const;

        // Adds an entry of a name no entry has; gives its number.
        std::size_t addNew(std::uint64_t hash);

    private:
        static constexpr std::uint32_t kFree = 0xFFFFFFFFU;

        [[nodiscard]] std::size_t home(std::uint64_t hash) const;
        void rehash(std::size_t count);
        // The first slot from the home of `hash` that is free or holds an entry that
        // `isName` accepts.
        template <typename IsName>
        [[nodiscard]] std::size_t slotFor(std::uint64_t hash, const IsName& isName) const;

        std::vector<std::uint64_t> hashes_;  // by number
        std::vector<std::uint32_t> slots_;   // numbers, kFree where free
        unsigned bits_ = 0;                  // slots_.size() is 2 to the bits_
    };

    // A key line added by a write, kept in the order of the writes.
    struct AddedKey {
        std::string key;
        std::string value;
    };

    // The sections of the file in file order, then those that writes added; numbered as
    // in sectionTable_. Only the first of a name is ever looked into.
    struct Section {
        std::size_t nameBegin = 0;  // file sections: the name in the header line, trimmed
        std::size_t nameEnd = 0;
        std::size_t open = kNone;  // index in open_ once a read or write has looked into it
    };

    // A section a read or a write has looked into, or that a write added.
    struct OpenSection {
        bool isNew = false;  // added by a write, named `name`
        std::string name;
        NameTable keys;
        // By key number: the first "=" of its line, from which its name and value are
        // found when it is looked up (no line break stands before the "=" in its line).
        std::vector<std::size_t> keyEquals;
        // By key number, the index in replaced_ of its written value, or kNone; empty
        // until the first write to one of the section's key lines.
        std::vector<std::size_t> written;
        // File sections: where the lines of added keys go, after the line break of the
        // section's last key line or, when it has none, of its header line.
        std::size_t insertAt = 0;
        std::vector<AddedKey> added;
    };

    // A written value in place of the value bytes of a key line of the file.
    struct Replacement {
        std::size_t valueBegin = 0;
        std::size_t valueEnd = 0;
        std::string value;
    };

    void parse();
    [[nodiscard]] std::string_view sectionName(const Section& section) const;
    OpenSection* findSection(std::string_view name);
    OpenSection& openSection(Section& section);
    // The trimmed name of the key line whose first "=" is at `equals`.
    [[nodiscard]] std::string_view keyName(std::size_t equals) const;
    // Its trimmed value bytes; an empty value is the place right after the "=".
    [[nodiscard]] std::pair<std::size_t, std::size_t> valueBytes(std::size_t equals) const;
    // The number of the key line of `key` in the section, or kNone.
    [[nodiscard]] std::size_t findKey(const OpenSection& section, std::string_view key) const;

    std::string original_;
    std::string newline_;  // how a line added by a write ends
    std::vector<Section> sections_;
    NameTable sectionTable_;  // sections_ by name
    std::vector<OpenSection> open_;
    std::vector<Replacement> replaced_;  // in the order of the first write of each key line
};

}  // namespace jnx
