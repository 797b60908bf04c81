#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

namespace jnx::test {

#ifdef _WIN32
// Windows builds are tested under Wine, a few of whose answers differ from Windows'; the
// tests accept those too, each with its reason.
inline constexpr bool kMayBeWine = true;
#else
inline constexpr bool kMayBeWine = false;
#endif

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    TempDir(TempDir&&) = delete;
    TempDir& operator=(TempDir&&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // A path inside the folder, as the byte string the file layer takes.
    [[nodiscard]] std::string file(std::string_view name) const;

private:
    std::filesystem::path path_;
};

std::string ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::string_view bytes);

// The names in a folder, sorted; to see that no temporary file was left behind.
std::string ListFolder(const std::filesystem::path& folder);

// Names beside a settings file "Jnx.ini" that resemble those of a save's temporary files
// (".Jnx.ini.tmp-<pid>-<n>") but are not, for a writer process `gone` that has ended: a
// save must leave every one of them alone. None differs from a real one by letter case
// alone, so that they can stand beside real ones on Windows too.
std::set<std::string> LookAlikeTemporaryNames(const std::string& gone);

// The sample settings file shipped with the program.
std::string SampleSettingsPath();

// Another program's write of one key into a settings file, through the profile functions
// as the betting tool writes: the file is replaced by a new one renamed over it.
void OtherProgramWrites(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

// The value of a key as the profile functions read it, "(none)" when the file lacks it.
std::string InFile(const std::string& path, const std::string& section, const std::string& key);

}  // namespace jnx::test
