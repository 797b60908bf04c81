#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace jnx {

// The settings file's name; it lies in the folder of the program's own executable.
inline constexpr std::string_view kSettingsFileName = "Jnx.ini";

// The folder of the running executable, with its trailing separator ("\" on Windows,
// "/" elsewhere), followed by "Jnx.ini". Computed afresh on every call; the running
// executable's name stays what it was at the start, so every call gives the same answer.
//
// On Windows the path is in the ANSI code page, as the profile functions take it. Throws
// ReadError, naming the file by its UTF-16 name, when they cannot reach it: its folder's
// name has a character that the code page lacks (where "Café" would be named "Cafe", a
// folder of another name), or the path is longer than LongestWindowsSettingsPath().
std::string SettingsFilePath();

// The longest settings path, in bytes of the ANSI code page, that the Windows build hands
// to the profile functions. They reach no file at a path of MAX_PATH (260) or more (Wine's
// read the default there and tell of success having written nothing). A save writes into a
// copy beside the file, whose name is longer than "Jnx.ini": the file's path leaves room
// for the longest copy's.
std::size_t LongestWindowsSettingsPath();

// The folder part of a POSIX path: everything up to and including its last "/" byte. The
// bytes are the file system's (UTF-8 on Linux), never code page 932, so no byte before a
// "/" can take it into a character. Empty when there is no "/".
std::string PosixFolderPart(std::string_view path);

}  // namespace jnx
