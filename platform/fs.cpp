// What every file system offers on top of its own operations.
#include "platform/fs.h"

#include <new>

namespace platform {

size_t ListingBytes(const std::vector<DirEntry>& entries) {
    size_t bytes = entries.size() * sizeof(DirEntry);
    for (const DirEntry& entry : entries)
        bytes += entry.name.size();
    return bytes;
}

bool ListOrNothing(FileSystem& fs, const std::string& dir, std::vector<DirEntry>& entries) {
    Error error;
    try {
        return fs.List(dir, entries, error);
    } catch (const std::bad_alloc&) {
        std::vector<DirEntry>().swap(entries);
        return false;
    }
}

bool Replaceable(FileSystem& fs, const std::string& path, Error& error) {
    PathKind kind;
    if (!fs.KindAt(path, kind, error))
        return false;
    if (kind == PathKind::kOther) {
        error = NotAFile("open", path);
        return false;
    }
    return true;
}

bool ReceivingDir(const std::string& path, std::string& dir) {
    size_t cut = path.find_last_of(std::string("/") + kSeparator);
    // "C:name" is made in the current directory of drive C.
    if (kSeparator == '\\' && cut == std::string::npos && path.size() > 1 && path[1] == ':')
        cut = 1;
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    dir = cut == std::string::npos ? "." : path.substr(0, cut + 1);
    return true;
}

bool FileWithin(FileSystem& fs, const std::string& path, const std::string& root, bool& within,
                Error& error) {
    std::string dir;
    if (!ReceivingDir(path, dir)) {
        error = Refused("open", path);
        return false;
    }
    return fs.Within(dir, root, within, error);
}

}  // namespace platform
