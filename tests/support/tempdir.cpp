#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "platform/dirs.h"
#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

// The std::filesystem path for a UTF-8 path, extended-length on Windows so that trees
// deeper than 260 characters can be made and removed.
fs::path Native(const std::string& utf8) {
    fs::path path(std::u8string(utf8.begin(), utf8.end()));
#ifdef _WIN32
    if (path.is_absolute() && !utf8.starts_with("\\\\"))
        return fs::path(L"\\\\?\\" + path.wstring());
#endif
    return path;
}

// Removes path and all below it, giving back permissions a test took away first. Listing
// through the platform keeps long paths working on Windows, and removing before descending
// never follows a link out of the tree.
bool RemoveTree(const std::string& path, std::error_code& ec) {
    fs::path native = Native(path);
    std::error_code ignored;
    fs::permissions(native, fs::perms::owner_all,
                    fs::perm_options::add | fs::perm_options::nofollow, ignored);
    if (fs::remove(native, ec) || !ec)
        return true;
    std::vector<platform::DirEntry> entries;
    platform::Error error;
    if (!platform::RealFileSystem().List(path, entries, error))
        return false;
    for (const platform::DirEntry& entry : entries)
        if (!RemoveTree(path + Sep() + entry.name, ec))
            return false;
    return fs::remove(native, ec);
}

}  // namespace

std::string Sep() {
    return std::string(1, platform::kSeparator);
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
    std::random_device random;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        fs::path candidate = base / ("copycheck-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec)) {
            std::u8string text = candidate.u8string();
            path_.assign(text.begin(), text.end());
        }
    }
    if (path_.empty())
        ADD_FAILURE() << "no temporary directory: " << ec.message();
}

TempDir::~TempDir() {
    std::error_code ec;
    if (!path_.empty() && !RemoveTree(path_, ec))
        ADD_FAILURE() << "cannot remove " << path_ << ": " << ec.message();
}

std::string TempDir::Path(const std::string& rel) const {
    std::string joined = path_ + Sep() + rel;
    std::replace(joined.begin() + static_cast<long>(path_.size()), joined.end(), '/',
                 platform::kSeparator);
    return joined;
}

void TempDir::MakeDir(const std::string& rel) const {
    std::error_code ec;
    fs::create_directories(Native(Path(rel)), ec);
    if (ec)
        ADD_FAILURE() << "cannot make " << Path(rel) << ": " << ec.message();
}

void TempDir::WriteFile(const std::string& rel, const std::string& bytes) const {
    fs::path file = Native(Path(rel));
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        ADD_FAILURE() << "cannot write " << Path(rel);
}

std::string TempDir::ReadFile(const std::string& rel) const {
    std::ifstream in(Native(Path(rel)), std::ios::binary);
    if (!in)
        ADD_FAILURE() << "cannot read " << Path(rel);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::map<std::string, std::string> TempDir::Contents(const std::string& rel) const {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::recursive_directory_iterator(Native(Path(rel)))) {
        std::error_code ec;  // a link to nothing has no time
        std::string what =
            std::to_string(fs::last_write_time(entry, ec).time_since_epoch().count());
        if (entry.is_regular_file() && !entry.is_symlink()) {  // a FIFO would wait
            std::ifstream in(entry.path(), std::ios::binary);
            what.append(std::istreambuf_iterator<char>(in), {});
        }
        contents[entry.path().string()] = std::move(what);
    }
    return contents;
}
