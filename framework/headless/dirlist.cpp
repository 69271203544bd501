// Directory and drive entries from the platform's listing.
#include "framework/headless/dirlist.h"

#include "framework/winconst.h"
#include "platform/dirs.h"
#include "platform/text.h"

namespace fw::headless {

namespace {

bool IsRoot(const std::string& dir) {
#ifdef _WIN32
    return dir.size() <= 3 && dir.size() >= 2 && dir[1] == ':';
#else
    return dir.find_first_not_of('/') == std::string::npos;
#endif
}

}  // namespace

bool DirListEntries(platform::FileSystem& fs, const std::string& dir, unsigned type,
                    std::vector<std::string>& entries) {
    entries.clear();
    if (type & DDL_DRIVES) {
        for (const std::string& root : platform::Drives())
            entries.push_back(std::string("[-") + platform::AsciiLower(root[0]) + "-]");
        return true;
    }
    std::vector<platform::DirEntry> listing;
    platform::Error error;
    if (!fs.List(dir, listing, error))
        return false;
    if (!IsRoot(dir))
        entries.push_back("[..]");
    for (const platform::DirEntry& e : listing) {
#ifndef _WIN32
        if (e.name[0] == '.')
            continue;  // hidden, as the system's list leaves them out
#endif
        if (e.isDir)
            entries.push_back("[" + e.name + "]");
    }
    return true;
}

std::string DirSelection(const std::string& entry) {
    if (entry.size() < 2 || entry.front() != '[' || entry.back() != ']')
        return entry;
    std::string inner = entry.substr(1, entry.size() - 2);
    if (inner.size() == 3 && inner.front() == '-' && inner.back() == '-')
        return std::string(1, inner[1]) + ":";
    return inner + platform::kSeparator;
}

}  // namespace fw::headless
