#include "support/test_files.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <vector>

#include "profile_file.h"

namespace jnx::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("jnx-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempDir::file(std::string_view name) const {
    return (path_ / name).string();
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path.string());
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::set<std::string> LookAlikeTemporaryNames(const std::string& gone) {
    return {
        "Jnx.ini.tmp-" + gone + "-0",     // no dot
        ".Other.ini.tmp-" + gone + "-0",  // another file's
        ".jnx.ini.tmp-" + gone + "-7",    // letter case
        ".Jnx.ini.tmp-" + gone + "-x",
        ".Jnx.ini.tmp-x-0",
        ".Jnx.ini.tmp-" + gone,
        ".Jnx.ini.tmp-" + gone + "-",
        ".Jnx.ini.tmp--0",
        ".Jnx.ini.tmp-" + gone + "-0-1",
        ".Jnx.ini.tmp-" + gone + "-0~",
        ".Jnx.ini.tmp-" + gone + "-00",
        ".Jnx.ini.tmp-0" + gone + "-0",
        ".Jnx.ini.tmp-+" + gone + "-0",
        ".Jnx.ini.tmp- " + gone + "-0",
        ".Jnx.ini.tmp-0-0",
        ".Jnx.ini.tmp-99999999999-0",
        ".Jnx.ini.tmp-4294967292-0",  // beyond any process id
        ".Jnx.ini.tmp-" + gone + "-0.bak",
    };
}

std::string ListFolder(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) {
        list += name + "\n";
    }
    return list;
}

std::string SampleSettingsPath() {
    return JNX_SAMPLE_SETTINGS;
}

void OtherProgramWrites(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    ProfileFile profile(path);
    profile.write(section, key, value);
    profile.commit();
}

std::string InFile(const std::string& path, const std::string& section, const std::string& key) {
    ProfileFile profile(path);
    return profile.read(section, key, "(none)");
}

}  // namespace jnx::test
