// The process's current directory and drive, absolute paths, and the drives there are.
#pragma once

#include <string>
#include <vector>

#include "platform/error.h"

namespace platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

bool GetCurrentDir(std::string& dir, Error& error);
bool SetCurrentDir(const std::string& dir, Error& error);

// Makes drive number `drive` (1 for A, 2 for B, ...) current, at the directory the system
// remembers for it. POSIX has one root and always succeeds without moving.
bool SetCurrentDrive(int drive, Error& error);

// The absolute form of path against the current directory, with "." and ".." resolved by
// name; a trailing separator of path stays in the result.
std::string FullPath(const std::string& path);

// The form of a root typed by the user that names found in its listings are appended to,
// with a separator, to reach them exactly as listed. On Windows it is absolute and
// extended-length ("\\\\?\\C:\\dir"), so that no name is changed by the rules of plain paths
// (a trailing dot or space dropped, "nul" or "con.txt" taken for a device); unchanged on
// POSIX.
std::string RunRoot(const std::string& typed);

// The roots of the drives present: "C:\\", "D:\\", ... on Windows; "/" on POSIX.
std::vector<std::string> Drives();

}  // namespace platform
