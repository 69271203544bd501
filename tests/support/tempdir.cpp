#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <system_error>
#include <vector>

#include "platform/dirs.h"
#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The std::filesystem path for a UTF-8 path. On Windows it gets the extended-length prefix,
// so trees deeper than 260 characters can be made and removed.
fs::path Native(const std::string& utf8) {
    fs::path path(std::u8string(utf8.begin(), utf8.end()));
#ifdef _WIN32
    if (path.is_absolute() && !utf8.starts_with("\\\\")) {
        return fs::path(L"\\\\?\\" + path.wstring());
    }
#endif
    return path;
}

// Removes path and all below it. Permissions a test took away come back first; what does
// not go at once (a directory with entries) is emptied first. Listing through the
// platform rather than std::filesystem keeps paths over 260 characters working on Windows,
// and removing before descending never follows a link out of the tree.
bool RemoveTree(const std::string& path, std::error_code& ec) {
    fs::path native = Native(path);
    std::error_code ignored;
    fs::permissions(native, fs::perms::owner_all,
                    fs::perm_options::add | fs::perm_options::nofollow, ignored);
    if (fs::remove(native, ec) || !ec) {
        return true;
    }
    std::vector<platform::DirEntry> entries;
    platform::Error error;
    if (!platform::RealFileSystem().List(path, entries, error)) {
        return false;
    }
    for (const platform::DirEntry& entry : entries) {
        if (!RemoveTree(path + Sep() + entry.name, ec)) {
            return false;
        }
    }
    return fs::remove(native, ec);
}

}  // namespace

std::string Sep() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

std::string Cwd() {
    std::string dir;
    platform::Error error;
    platform::GetCurrentDir(dir, error);
    return dir;
}

TempDir::TempDir() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        ADD_FAILURE() << "no temporary directory: " << ec.message();
        return;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("copycheck-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec)) {
            path_ = Utf8(candidate);
            return;
        }
    }
    ADD_FAILURE() << "cannot make a directory under " << Utf8(base) << ": " << ec.message();
}

TempDir::~TempDir() {
    if (path_.empty()) {
        return;
    }
    std::error_code ec;
    if (!RemoveTree(path_, ec)) {
        ADD_FAILURE() << "cannot remove " << path_ << ": " << ec.message();
    }
}

std::string TempDir::Path(const std::string& rel) const {
    std::string joined = path_ + Sep() + rel;
    for (size_t i = path_.size(); i < joined.size(); ++i) {
        if (joined[i] == '/') {
            joined[i] = Sep()[0];
        }
    }
    return joined;
}

void TempDir::MakeDir(const std::string& rel) const {
    std::error_code ec;
    fs::create_directories(Native(Path(rel)), ec);
    if (ec) {
        ADD_FAILURE() << "cannot make " << Path(rel) << ": " << ec.message();
    }
}

void TempDir::WriteFile(const std::string& rel, const std::string& bytes) const {
    fs::path file = Native(Path(rel));
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        ADD_FAILURE() << "cannot write " << Path(rel);
    }
}

std::string TempDir::ReadFile(const std::string& rel) const {
    std::ifstream in(Native(Path(rel)), std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << Path(rel);
        return "";
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
