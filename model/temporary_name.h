#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace jnx {

// A save writes the file's new contents into a temporary file beside it and then puts that
// file in its place in one step. The temporary files are named ".<file>.tmp-<pid>-<n>": the
// writer's process id and a number (on POSIX systems a random one, so that names planted
// by others cannot block a save), both in decimal without leading zeros, so that a later
// save can tell the ones that saves ended before their replacement left behind.

// ".<file>.tmp-" for the file name (without its folder) given, the name cut so that a
// temporary file's whole name stays within the 255 bytes a file system allows.
std::string TemporaryPrefix(std::string_view fileName);

// The longest name a temporary file of that file can have: its prefix and two numbers of
// ten digits with the dash between them.
std::size_t LongestTemporaryName(std::string_view fileName);

// The writer's process id when `name` is exactly the name of one of our temporary files
// with the given prefix; none for any other name, and for ids of 0 or above INT_MAX.
std::optional<int> TemporaryFileWriter(std::string_view name, std::string_view prefix);

}  // namespace jnx
