// The profile file on systems without the Windows profile functions: the file's bytes are
// read once, when the object is made, and parsed as those functions read them.

#include <string>
#include <utility>

#include "profile_document.h"
#include "profile_file.h"
#include "profile_save_platform.h"

namespace jnx {

struct ProfileFile::State {
    ProfileDocument document;  // the file as read; empty when it is missing or unreadable
};

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)), state_(new State) {
    if (std::optional<std::string> bytes = platform::ReadForLoad(path_)) {
        state_->document = ProfileDocument(std::move(*bytes));
    }
}

ProfileFile::~ProfileFile() = default;

Text ProfileFile::readInFile(std::string_view section, std::string_view key,
                             std::string_view defaultValue) {
    return state_->document.read(section, key, defaultValue);
}

std::optional<Text> ProfileFile::findInFile(std::string_view section, std::string_view key) {
    return state_->document.find(section, key);
}

bool ProfileFile::readOneVersion() const {
    return true;  // read once
}

void ProfileFile::readMadeVersion() {
    // The reads answer from the bytes read when the object was made already.
}

bool ProfileFile::changedSinceMade() const {
    bool writing = false;
    const std::optional<std::string> now = ReadProfileBytes(path_, &writing);
    return writing || now.value_or(std::string()) != state_->document.original();
}

}  // namespace jnx
