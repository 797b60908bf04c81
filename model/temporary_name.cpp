#include "temporary_name.h"

#include <charconv>
#include <climits>

#include "cp932.h"

namespace jnx {

namespace {

bool IsPlainDecimal(std::string_view text) {
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text.front() == '0')) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// A process id and a number of up to ten digits each, and the dash between them.
constexpr std::size_t kLongestNumbers = 10 + 1 + 10;

}  // namespace

std::string TemporaryPrefix(std::string_view fileName) {
    // A name has at most 255 bytes: "." and ".tmp-" and the numbers leave 228 for the
    // file's own name, cut where a character ends.
    constexpr std::size_t kMaxNameBytes = 255 - 1 - 5 - kLongestNumbers;
    std::size_t kept = 0;
    while (kept < fileName.size()) {
        const std::size_t next = kept + cp932::CharLength(fileName, kept);
        if (next > kMaxNameBytes) {
            break;
        }
        kept = next;
    }
    return std::string(".").append(fileName.substr(0, kept)).append(".tmp-");
}

std::size_t LongestTemporaryName(std::string_view fileName) {
    return TemporaryPrefix(fileName).size() + kLongestNumbers;
}

std::optional<int> TemporaryFileWriter(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) {
        return std::nullopt;
    }
    name.remove_prefix(prefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || !IsPlainDecimal(name.substr(0, dash)) ||
        !IsPlainDecimal(name.substr(dash + 1))) {
        return std::nullopt;
    }
    long long pid = 0;
    std::from_chars(name.data(), name.data() + dash, pid);
    if (pid <= 0 || pid > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(pid);
}

}  // namespace jnx
