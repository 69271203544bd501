// The headless backend's directory lists: the entries the system's own list filling gives,
// made from the platform's listing.
#pragma once

#include <string>
#include <vector>

#include "platform/fs.h"

namespace fw::headless {

// The entries for a drive list (DDL_DRIVES) or a directory list (DDL_DIRECTORY) of dir:
// "[-c-]" per drive ("[-/-]" for the one root of POSIX), "[name]" per subdirectory and
// "[..]" unless dir is a root. False when dir cannot be listed.
bool DirListEntries(platform::FileSystem& fs, const std::string& dir, unsigned type,
                    std::vector<std::string>& entries);

// What a selected entry stands for: "name" + separator for a directory, "c:" for a drive.
std::string DirSelection(const std::string& entry);

}  // namespace fw::headless
