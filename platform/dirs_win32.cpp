// Current directory and drive, absolute paths and the drives, on Windows.
#include <string>
#include <vector>

#include "platform/dirs.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {
namespace {

Error Failure(const char* call, const std::string& path) {
    Error error;
    error.code = static_cast<int>(GetLastError());
    error.call = call;
    error.path = path;
    return error;
}

}  // namespace

bool GetCurrentDir(std::string& dir, Error& error) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length == 0) {
            error = Failure("GetCurrentDirectoryW", "");
            return false;
        }
        // Too small a buffer gets the size needed, the terminator included.
        if (length < buffer.size()) {
            dir = FromWide(buffer.data(), length);
            return true;
        }
        buffer.resize(length);
    }
}

// SetCurrentDirectoryW leaves the directory remembered for its drive ("=C:") as it was;
// "C:" alone would not come back here.
bool SetCurrentDir(const std::string& dir, Error& error) {
    if (!SetCurrentDirectoryW(ToWide(dir).c_str())) {
        error = Failure("SetCurrentDirectoryW", dir);
        return false;
    }
    std::string current;
    Error ignored;
    if (GetCurrentDir(current, ignored) && current.size() >= 2 && current[1] == ':') {
        SetEnvironmentVariableW(ToWide({'=', current[0], ':'}).c_str(), ToWide(current).c_str());
    }
    return true;
}

bool SetCurrentDrive(int drive, Error& error) {
    if (drive < 1 || drive > 26) {
        error.code = ERROR_INVALID_DRIVE;
        error.call = "SetCurrentDirectoryW";
        error.path = std::to_string(drive);
        return false;
    }
    // "X:" alone goes to the directory the system remembers for that drive.
    return SetCurrentDir({static_cast<char>('A' + drive - 1), ':'}, error);
}

std::string FullPath(const std::string& path) {
    std::wstring wide = ToWide(path);
    std::wstring buffer(wide.size() + MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()),
                                        buffer.data(), nullptr);
        if (length == 0) {
            return path;
        }
        if (length < buffer.size()) {
            return FromWide(buffer.data(), length);
        }
        buffer.resize(length);
    }
}

std::string RunRoot(const std::string& typed) {
    // "\\.\D:\dir" is a plain path to the system, whose rules apply to the names appended
    // to it: it becomes "\\?\D:\dir" like any other root, after those rules apply to it.
    std::string plain = typed;
    if (plain.starts_with("\\\\.\\UNC\\")) {
        plain = "\\\\" + plain.substr(8);
    } else if (plain.starts_with("\\\\.\\") && plain.size() >= 6 && plain[5] == ':') {
        plain = plain.substr(4);
    }
    std::string root = FromWide(SystemPath(plain));
    return root.ends_with('\\') ? root : root + '\\';
}

std::vector<std::string> Drives() {
    std::vector<std::string> drives;
    DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (mask & (DWORD{1} << i)) {
            drives.push_back({static_cast<char>('A' + i), ':', '\\'});
        }
    }
    return drives;
}

}  // namespace platform
