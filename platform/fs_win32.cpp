// Listings and files on Windows, through the W APIs and long-path-safe names.
#include <algorithm>
#include <bit>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"
#include "platform/wide_win32.h"

#include <windows.h>

namespace platform {
namespace {

Error Failure(DWORD code, const char* call, const std::string& path) {
    Error error;
    error.code = static_cast<int>(code);
    error.call = call;
    error.path = path;
    return error;
}

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle) {
        if (valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }
    // Closes now, for callers that need to know whether the data reached the file.
    bool Close() {
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) != 0;
    }

private:
    HANDLE handle_;
};

class Search {
public:
    explicit Search(HANDLE handle) : handle_(handle) {}
    ~Search() {
        if (valid()) {
            FindClose(handle_);
        }
    }
    Search(const Search&) = delete;
    Search& operator=(const Search&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Opens what systemPath leads to, directories included, for its identity alone.
bool IdentifySystemPath(const std::wstring& systemPath, const std::string& path, FileId& id,
                        Error& error) {
    Handle handle(CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid()) {
        error = Failure(GetLastError(), "CreateFileW", path);
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle.get(), &info)) {
        error = Failure(GetLastError(), "GetFileInformationByHandle", path);
        return false;
    }
    id.volume = info.dwVolumeSerialNumber;
    id.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}

// A single ReadFile or WriteFile counts in a DWORD; smaller pieces also keep each call short.
constexpr size_t kMaxTransfer = size_t{16} << 20;

class Win32InputFile : public InputFile {
public:
    Win32InputFile(HANDLE handle, const std::string& path) : handle_(handle), path_(path) {}

    bool Read(void* buf, size_t n, size_t& got, Error& error) override {
        got = 0;
        auto* bytes = static_cast<char*>(buf);
        while (got < n) {
            size_t want = n - got < kMaxTransfer ? n - got : kMaxTransfer;
            DWORD read = 0;
            if (!ReadFile(handle_.get(), bytes + got, static_cast<DWORD>(want), &read, nullptr)) {
                error = Failure(GetLastError(), "ReadFile", path_);
                return false;
            }
            if (read == 0) {
                break;
            }
            got += read;
        }
        return true;
    }

private:
    Handle handle_;
    std::string path_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
HANDLE OpenForReading(const std::string& path, DWORD flags) {
    return CreateFileW(SystemPath(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                       flags, nullptr);
}

// What unbuffered reads of the file must be aligned to: its volume's sector size.
size_t SectorAlignment(HANDLE handle) {
    FILE_STORAGE_INFO info;
    if (GetFileInformationByHandleEx(handle, FileStorageInfo, &info, sizeof info) &&
        std::has_single_bit(info.LogicalBytesPerSector)) {
        return std::max<size_t>(kMinAlignment, info.LogicalBytesPerSector);
    }
    return kMinAlignment;
}

// Read with FILE_FLAG_NO_BUFFERING, reopened without it when the file system refuses it.
class MediumFile : public AlignedReader {
public:
    MediumFile(HANDLE handle, const std::string& path, BouncePool& pool, size_t alignment,
               bool cached)
        : AlignedReader(pool, path, alignment, cached), handle_(handle) {}

protected:
    Chunk ReadChunk(uint64_t offset, void* buf, size_t n, size_t& got, Error& error) override {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        if (!ReadFile(handle_.get(), buf, static_cast<DWORD>(n), &read, &at)) {
            DWORD code = GetLastError();
            if (code == ERROR_HANDLE_EOF) {
                got = 0;
                return Chunk::kRead;
            }
            error = Failure(code, "ReadFile", path());
            return code == ERROR_INVALID_PARAMETER ? Chunk::kRefused : Chunk::kFailed;
        }
        got = read;
        return Chunk::kRead;
    }

    bool UseCache(Error& error) override {
        HANDLE cached =
            ReOpenFile(handle_.get(), GENERIC_READ, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN);
        if (cached == INVALID_HANDLE_VALUE) {
            error = Failure(GetLastError(), "ReOpenFile", path());
            return false;
        }
        handle_.Reset(cached);
        return true;
    }

private:
    Handle handle_;
};

class Win32OutputFile : public OutputFile {
public:
    Win32OutputFile(HANDLE handle, const std::string& path) : handle_(handle), path_(path) {}

    bool Write(const void* data, size_t n, Error& error) override {
        auto* bytes = static_cast<const char*>(data);
        size_t done = 0;
        while (done < n) {
            size_t want = n - done < kMaxTransfer ? n - done : kMaxTransfer;
            DWORD written = 0;
            if (!WriteFile(handle_.get(), bytes + done, static_cast<DWORD>(want), &written,
                           nullptr)) {
                error = Failure(GetLastError(), "WriteFile", path_);
                return false;
            }
            done += written;
        }
        return true;
    }

    bool Close(Error& error) override {
        if (!handle_.Close()) {
            error = Failure(GetLastError(), "CloseHandle", path_);
            return false;
        }
        return true;
    }

private:
    Handle handle_;
    std::string path_;
};

class Win32FileSystem : public FileSystem {
public:
    bool List(const std::string& dir, std::vector<DirEntry>& entries, Error& error) override {
        entries.clear();
        std::string withSeparator = dir;
        if (withSeparator.empty() ||
            (withSeparator.back() != '\\' && withSeparator.back() != '/')) {
            withSeparator += '\\';
        }
        std::wstring systemDir = SystemPath(withSeparator);
        WIN32_FIND_DATAW data;
        Search search(FindFirstFileExW((systemDir + L"*.*").c_str(), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
        if (!search.valid()) {
            DWORD code = GetLastError();
            // What an empty drive root gives: nothing there, not even "." and "..".
            if (code == ERROR_FILE_NOT_FOUND) {
                return true;
            }
            error = Failure(code, "FindFirstFileExW", dir);
            return false;
        }
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            DirEntry entry;
            entry.name = FromWide(name);
            entry.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            entry.isRegular = !entry.isDir;
            entry.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
            // Only directories need an identity: it is what catches a tree that leads back
            // into itself.
            if (entry.isDir) {
                Error ignored;
                entry.hasId = IdentifySystemPath(systemDir + name, entry.name, entry.id, ignored);
            }
            entries.push_back(std::move(entry));
        } while (FindNextFileW(search.get(), &data));
        DWORD code = GetLastError();
        if (code != ERROR_NO_MORE_FILES) {
            error = Failure(code, "FindNextFileW", dir);
            return false;
        }
        return true;
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, Error& error) override {
        HANDLE handle = OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
        if (handle == INVALID_HANDLE_VALUE) {
            error = Failure(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        auto file = std::make_unique<Win32InputFile>(handle, path);
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            error = Failure(ERROR_NOT_SUPPORTED, "CreateFileW", path);
            return nullptr;
        }
        return file;
    }

    std::unique_ptr<InputFile> OpenReadFromMedium(const std::string& path, Error& error) override {
        bool cached = false;
        HANDLE handle = OpenForReading(path, FILE_FLAG_NO_BUFFERING);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
            cached = true;
            handle = OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
        }
        if (handle == INVALID_HANDLE_VALUE) {
            error = Failure(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        auto file =
            std::make_unique<MediumFile>(handle, path, pool_, SectorAlignment(handle), cached);
        if (GetFileType(handle) != FILE_TYPE_DISK) {
            error = Failure(ERROR_NOT_SUPPORTED, "CreateFileW", path);
            return nullptr;
        }
        return file;
    }

    bool SameVolume(const std::string& a, const std::string& b) override {
        FileId ia;
        FileId ib;
        Error ignored;
        return IdentifySystemPath(SystemPath(a), a, ia, ignored) &&
               IdentifySystemPath(SystemPath(b), b, ib, ignored) && ia.volume == ib.volume;
    }

    bool Exists(const std::string& path) override {
        if (GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
            return true;
        }
        // A file the system holds open exclusively, like pagefile.sys, is still there.
        return GetLastError() == ERROR_SHARING_VIOLATION;
    }

    bool Identify(const std::string& path, FileId& id, Error& error) override {
        return IdentifySystemPath(SystemPath(path), path, id, error);
    }

    bool Resolve(const std::string& path, std::string& resolved, Error& error) override {
        std::wstring system = SystemPath(path);
        Handle handle(CreateFileW(system.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle.valid()) {
            DWORD code = GetLastError();
            if (code != ERROR_FILE_NOT_FOUND) {
                error = Failure(code, "CreateFileW", path);
                return false;
            }
            // A name still to be made: its directory resolved, the name as given.
            size_t cut = system.find_last_of(L'\\');
            if (cut == std::wstring::npos || cut + 1 == system.size()) {
                error = Failure(code, "CreateFileW", path);
                return false;
            }
            std::string dir;
            if (!Resolve(FromWide(system.substr(0, cut + 1)), dir, error)) {
                return false;
            }
            resolved = dir + (dir.ends_with('\\') ? "" : "\\") + FromWide(system.substr(cut + 1));
            return true;
        }
        std::wstring name(MAX_PATH, L'\0');
        for (;;) {
            DWORD length = GetFinalPathNameByHandleW(handle.get(), name.data(),
                                                     static_cast<DWORD>(name.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (length == 0) {
                error = Failure(GetLastError(), "GetFinalPathNameByHandleW", path);
                return false;
            }
            if (length < name.size()) {
                name.resize(length);
                break;
            }
            name.resize(length);
        }
        if (name.starts_with(L"\\\\?\\UNC\\")) {
            name = L"\\\\" + name.substr(8);
        } else if (name.starts_with(L"\\\\?\\")) {
            name = name.substr(4);
        }
        resolved = FromWide(name);
        return true;
    }

    std::unique_ptr<OutputFile> Create(const std::string& path, Error& error) override {
        HANDLE handle = CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = Failure(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        return std::make_unique<Win32OutputFile>(handle, path);
    }

private:
    BouncePool pool_;
};

}  // namespace

FileSystem& RealFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace platform
