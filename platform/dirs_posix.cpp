// Current directory, absolute paths and the one root, on POSIX.
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/dirs.h"

namespace platform {

bool GetCurrentDir(std::string& dir, Error& error) {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            error.code = errno;
            error.call = "getcwd";
            error.path.clear();
            return false;
        }
        buffer.resize(buffer.size() * 2);
    }
    dir = buffer.c_str();
    return true;
}

bool SetCurrentDir(const std::string& dir, Error& error) {
    if (chdir(dir.c_str()) != 0) {
        error.code = errno;
        error.call = "chdir";
        error.path = dir;
        return false;
    }
    return true;
}

bool SetCurrentDrive(int, Error&) {
    return true;
}

std::string FullPath(const std::string& path) {
    std::string joined = path;
    if (!path.starts_with('/')) {
        // A current directory that cannot be named (it was removed) counts as the root.
        std::string current;
        Error ignored;
        if (!GetCurrentDir(current, ignored)) {
            current.clear();
        }
        joined = current + "/" + path;
    }
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find('/', start);
        if (end == std::string::npos) {
            end = joined.size();
        }
        std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts) {
        full += "/" + part;
    }
    if (full.empty() || path.ends_with('/')) {
        full += "/";
    }
    return full;
}

std::string RunRoot(const std::string& typed) {
    return typed;
}

std::vector<std::string> Drives() {
    return {"/"};
}

}  // namespace platform
