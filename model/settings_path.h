#pragma once

#include <string>
#include <string_view>

namespace jnx {

// The settings file's name; it lies in the folder of the program's own executable.
inline constexpr std::string_view kSettingsFileName = "Jnx.ini";

// The folder of the running executable, with its trailing separator ("\" on Windows,
// found double-byte aware; "/" elsewhere), followed by "Jnx.ini". Computed afresh on
// every call.
std::string SettingsFilePath();

// The folder part of a Windows path in the ANSI code page 932: everything up to and
// including its last "\" that is a character of its own; the "\" trail byte of a
// double-byte character, as in "ソ" (83 5C) or "表" (95 5C), does not count. Empty when
// there is none.
std::string WindowsFolderPart(std::string_view path);

// The folder part of a POSIX path: everything up to and including its last "/" byte. The
// bytes are the file system's (UTF-8 on Linux), never code page 932, so no byte before a
// "/" can take it into a character. Empty when there is no "/".
std::string PosixFolderPart(std::string_view path);

}  // namespace jnx
