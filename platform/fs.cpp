// What every file system offers on top of its own operations.
#include "platform/fs.h"

#include <new>

namespace platform {

namespace {

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != kSeparator)
        path += kSeparator;
    return path;
}

}  // namespace

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

bool LiesInside(FileSystem& fs, const std::string& resolved, const std::string& root) {
    std::string dir;
    Error error;
    return fs.Resolve(root, dir, error) && WithSeparator(resolved).starts_with(WithSeparator(dir));
}

}  // namespace platform
