#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The line structure of a profile file as the file layer documents it, written out plainly
// and apart from the project's own profile code, so that what a write must give can be
// told without that code: which lines head sections, which are key lines, where a key
// line's value lies, and what the file's lines must be after a set of writes.
namespace jnx::test::reference {

// Whether the byte leads a double-byte character of code page 932 (81-9F, E0-FC).
bool IsLeadByte(char c);

// The name with its ASCII letters lower-cased; a double-byte character, whose trail byte
// may look like a letter, is left as it is.
std::string Fold(std::string_view name);

// [begin, end) without the blanks (09-0D, 1A, 20) at either end.
std::pair<std::size_t, std::size_t> Trim(std::string_view text, std::size_t begin, std::size_t end);

struct Line {
    std::string content;
    std::string lineBreak;  // "", "\r", "\n" or "\r\n"
    bool added = false;     // expected lines only: added by a write
};

// The lines of a file, each with its own line break; a file that does not end in one has
// a last line without.
std::vector<Line> SplitLines(std::string_view bytes);

// The values of one section in the order they are first written.
struct SectionWrites {
    std::string section;
    std::vector<std::pair<std::string, std::string>> keys;
};

// The lines a file must consist of after the writes: every line kept as it was except
// the value bytes of the written key lines; missing keys after the last key line of their
// section, missing sections at the end, both ending like the file's first line. Only the
// first section of a name and the first key of a name in it are written.
std::vector<Line> ExpectedLines(std::string_view original,
                                const std::vector<SectionWrites>& writes);

// The first line in which `actual` differs from `expected`, described with both lines
// escaped; empty when they are the same. An added line expected to end in a lone CR may
// end in CR LF, since a lone CR in front of an LF that follows would merge with it.
std::string FirstLineDifference(const std::vector<Line>& expected, const std::vector<Line>& actual);

}  // namespace jnx::test::reference
