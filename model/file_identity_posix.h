#pragma once

// What makes a settings file the same file to the betting tool and to other users, beyond
// its bytes: its owner, group, permission bits, extended attributes (its access list among
// them) and its single name. A save renames a new file over the old one only when the new
// one can have all of that.

#include <sys/stat.h>

#include <string>

namespace jnx::platform {

// Whether a new file made by this process could be given everything `existing` has but its
// bytes, as far as its status tells: a file with one name, of the running user's own (or
// any, for a process that may give files away).
bool MayBeReplaced(const struct stat& existing);

// Gives the new file open as `fd` the owner, group, permission bits and extended
// attributes of the file `from` (whose status is `existing`), and takes from it any
// attribute `from` does not have (one inherited from its folder's default access list, say).
// False when the new file does not end up with all of them.
bool TakeIdentity(int fd, const std::string& from, const struct stat& existing);

}  // namespace jnx::platform
