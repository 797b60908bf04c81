// What ProfileFile does alike everywhere: it keeps its writes, answers reads of them, and
// saves them all at once through the editor's own save.

#include <memory>
#include <string>
#include <vector>

#include "profile_document.h"
#include "profile_file.h"

namespace jnx {

std::optional<Text> ProfileFile::findWritten(std::string_view section, std::string_view key) {
    return written_ ? written_->find(section, key) : std::nullopt;
}

Text ProfileFile::read(std::string_view section, std::string_view key,
                       std::string_view defaultValue) {
    if (std::optional<Text> value = findWritten(section, key)) {
        return std::move(*value);
    }
    return readInFile(section, key, defaultValue);
}

std::optional<Text> ProfileFile::find(std::string_view section, std::string_view key) {
    if (std::optional<Text> value = findWritten(section, key)) {
        return value;
    }
    return findInFile(section, key);
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    if (!written_) {
        written_ = std::make_unique<ProfileDocument>();
    }
    written_->write(section, key, value);
    writes_.push_back({std::string(section), std::string(key), std::string(value)});
}

void ProfileFile::commit() {
    if (writes_.empty()) {
        return;
    }
    SaveProfile(path_, [this](ProfileDocument& /*file*/) {
        std::vector<ProfileWrite> writes;
        writes.reserve(writes_.size());
        for (const auto& [section, key, value] : writes_) {
            writes.push_back({section, key, value});
        }
        return writes;
    });
    writes_.clear();
}

}  // namespace jnx
