// What every file system offers on top of its own operations.
#include "platform/fs.h"

namespace platform {

namespace {

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != kSeparator)
        path += kSeparator;
    return path;
}

}  // namespace

bool LiesInside(FileSystem& fs, const std::string& resolved, const std::string& root) {
    std::string dir;
    Error error;
    return fs.Resolve(root, dir, error) && WithSeparator(resolved).starts_with(WithSeparator(dir));
}

}  // namespace platform
