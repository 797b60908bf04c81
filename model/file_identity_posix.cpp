// Gives a new settings file the identity of the one it replaces: owner, group, permission
// bits and every extended attribute (the access list is the attribute
// system.posix_acl_access).

#include "file_identity_posix.h"

#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>
#include <vector>

namespace jnx::platform {

namespace {

// The names of a file's extended attributes; an empty list where the file system keeps
// none; none when they cannot be listed.
std::optional<std::vector<std::string>> AttributeNames(int fd, const char* path) {
    std::vector<char> list;
    for (;;) {
        const ssize_t size =
            fd >= 0 ? ::flistxattr(fd, nullptr, 0) : ::llistxattr(path, nullptr, 0);
        if (size < 0) {
            if (errno == ENOTSUP) {
                return std::vector<std::string>{};
            }
            return std::nullopt;
        }
        list.resize(static_cast<std::size_t>(size));
        const ssize_t got = fd >= 0 ? ::flistxattr(fd, list.data(), list.size())
                                    : ::llistxattr(path, list.data(), list.size());
        if (got >= 0) {
            list.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE) {  // ERANGE: the list grew between the two calls
            return std::nullopt;
        }
    }
    std::vector<std::string> names;
    for (std::string_view rest(list.data(), list.size()); !rest.empty();) {
        const std::size_t end = rest.find('\0');
        names.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return names;
}

// An attribute's value; none when the file does not have it or it cannot be read.
std::optional<std::string> AttributeValue(int fd, const char* path, const std::string& name) {
    std::string value;
    for (;;) {
        const ssize_t size = fd >= 0 ? ::fgetxattr(fd, name.c_str(), nullptr, 0)
                                     : ::lgetxattr(path, name.c_str(), nullptr, 0);
        if (size < 0) {
            return std::nullopt;
        }
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = fd >= 0 ? ::fgetxattr(fd, name.c_str(), value.data(), value.size())
                                    : ::lgetxattr(path, name.c_str(), value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) {
            return std::nullopt;
        }
    }
}

// Makes the new file's attributes those of `from`: each one `from` has, with its value
// (left alone where the new file has it already, as a security label given to every new
// file in the folder is), and none other.
bool TakeAttributes(int fd, const std::string& from) {
    const std::optional<std::vector<std::string>> wanted = AttributeNames(-1, from.c_str());
    const std::optional<std::vector<std::string>> present = AttributeNames(fd, nullptr);
    if (!wanted || !present) {
        return false;
    }
    for (const std::string& name : *present) {
        if (std::find(wanted->begin(), wanted->end(), name) == wanted->end() &&
            ::fremovexattr(fd, name.c_str()) != 0) {
            return false;
        }
    }
    for (const std::string& name : *wanted) {
        const std::optional<std::string> value = AttributeValue(-1, from.c_str(), name);
        if (!value) {
            return false;
        }
        if (AttributeValue(fd, nullptr, name) != value &&
            ::fsetxattr(fd, name.c_str(), value->data(), value->size(), 0) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool MayBeReplaced(const struct stat& existing) {
    const uid_t user = ::geteuid();
    return existing.st_nlink == 1 && (existing.st_uid == user || user == 0);
}

bool TakeIdentity(int fd, const std::string& from, const struct stat& existing) {
    struct stat made {};
    if (::fstat(fd, &made) != 0) {
        return false;
    }
    if ((made.st_uid != existing.st_uid || made.st_gid != existing.st_gid) &&
        ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
        return false;
    }
    // The bits last: a change of owner clears the set-user-id and set-group-id bits, and an
    // access list set or taken away sets the group's bits. Set after the access list, the
    // group's bits become its mask, as they are in the file it comes from.
    if (!TakeAttributes(fd, from) || ::fchmod(fd, existing.st_mode & 07777) != 0) {
        return false;
    }
    return ::fstat(fd, &made) == 0 && made.st_uid == existing.st_uid &&
           made.st_gid == existing.st_gid && (made.st_mode & 07777) == (existing.st_mode & 07777);
}

}  // namespace jnx::platform
