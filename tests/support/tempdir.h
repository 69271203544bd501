// A fresh directory under the system's temporary directory, removed with all it holds.
#pragma once

#include <map>
#include <string>

// The platform's path separator, as a string to join with.
std::string Sep();
// The process's current directory; empty when it cannot be named.
std::string Cwd();

class TempDir {
public:
    TempDir();
    // Gives write and search permission back to whatever a test took it from, then removes
    // the whole tree.
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Absolute, UTF-8, without a trailing separator.
    const std::string& path() const { return path_; }
    // path() joined with rel, whose '/' become the platform separator.
    std::string Path(const std::string& rel) const;
    // These make missing parent directories; a failure fails the running test.
    void MakeDir(const std::string& rel) const;
    void WriteFile(const std::string& rel, const std::string& bytes) const;
    std::string ReadFile(const std::string& rel) const;
    // Every entry below rel with its modification time, and a regular file's bytes after it.
    std::map<std::string, std::string> Contents(const std::string& rel) const;

private:
    std::string path_;
};
