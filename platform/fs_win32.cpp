// Listings and files on Windows, through the W APIs and long-path-safe names.
#include <algorithm>
#include <bit>
#include <cstring>
#include <cwctype>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/medium.h"
#include "platform/wide_win32.h"

#include <windows.h>

// Not in mingw-w64's headers.
#ifndef ERROR_DIRECTORY_NOT_SUPPORTED
#define ERROR_DIRECTORY_NOT_SUPPORTED 336L
#endif

namespace platform {

// Besides a plain refusal, what network redirectors and some file system drivers answer.
bool RefusesUncached(int code) {
    return code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
           code == ERROR_INVALID_FUNCTION;
}

const CallNames kCalls = {"ReadFile", "WriteFile", "CloseHandle", "FlushFileBuffers"};

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() { Reset(INVALID_HANDLE_VALUE); }
    Handle(Handle&& other) : handle_(other.Release()) {}
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
    HANDLE Release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }

private:
    HANDLE handle_;
};

class Win32File : public SystemFile {
public:
    explicit Win32File(Handle&& handle) : handle_(std::move(handle)) {}

    Transfer ReadSome(void* buf, size_t n, size_t& got, int& code) override {
        DWORD read = 0;
        BOOL ok = ReadFile(handle_.get(), buf, static_cast<DWORD>(n), &read, nullptr);
        got = read;
        return Done(ok, code);
    }
    Transfer WriteSome(const void* data, size_t n, size_t& put, int& code) override {
        DWORD written = 0;
        BOOL ok = WriteFile(handle_.get(), data, static_cast<DWORD>(n), &written, nullptr);
        put = written;
        return Done(ok, code);
    }
    bool Sync(int& code) override {
        return Done(FlushFileBuffers(handle_.get()), code) == Transfer::kDone;
    }
    bool Close(int& code) override {
        return Done(CloseHandle(handle_.Release()), code) == Transfer::kDone;
    }
    bool Identity(FileIdentity& id) const override;

private:
    static Transfer Done(BOOL ok, int& code) {
        if (ok) {
            return Transfer::kDone;
        }
        code = static_cast<int>(GetLastError());
        return Transfer::kFailed;
    }

    Handle handle_;
};

Error Failed(DWORD code, const char* call, const std::string& path) {
    return Failure(static_cast<int>(code), call, path);
}

// The strongest identity the file system gives: the 128-bit file id where it has one.
bool IdOfHandle(HANDLE handle, FileId& id) {
    FILE_ID_INFO info;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &info, sizeof info)) {
        static_assert(sizeof info.FileId.Identifier == 2 * sizeof(uint64_t));
        id.volume = info.VolumeSerialNumber;
        std::memcpy(&id.index, info.FileId.Identifier, sizeof id.index);
        std::memcpy(&id.indexHigh, info.FileId.Identifier + sizeof id.index, sizeof id.indexHigh);
        return true;
    }
    BY_HANDLE_FILE_INFORMATION byHandle;
    if (!GetFileInformationByHandle(handle, &byHandle)) {
        return false;
    }
    id.volume = byHandle.dwVolumeSerialNumber;
    id.index = (uint64_t{byHandle.nFileIndexHigh} << 32) | byHandle.nFileIndexLow;
    id.indexHigh = 0;
    return true;
}

// The GUID in the volume's name, \\?\Volume{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}\..., as two
// numbers.
bool VolumeGuid(HANDLE handle, uint64_t (&guid)[2]) {
    std::wstring name(MAX_PATH, L'\0');
    DWORD length;
    while ((length = GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                               FILE_NAME_OPENED | VOLUME_NAME_GUID)) >=
           name.size()) {
        name.resize(length);
    }
    const std::wstring prefix = L"\\\\?\\Volume{";
    if (length == 0 || !name.starts_with(prefix)) {
        return false;
    }
    const std::wstring hex = L"0123456789abcdef";
    guid[0] = guid[1] = 0;
    int digits = 0;
    for (size_t i = prefix.size(); i < length && name[i] != L'}'; ++i) {
        if (name[i] == L'-') {
            continue;
        }
        size_t value = hex.find(static_cast<wchar_t>(towlower(name[i])));
        if (value == std::wstring::npos || digits == 32) {
            return false;
        }
        uint64_t& half = guid[digits++ / 16];
        half = half << 4 | value;
    }
    return digits == 32;
}

// A clone of a disk keeps the serial number of its original's volume, and its file ids: not
// the GUID the system gives each volume it mounts.
bool IdentityOfHandle(HANDLE handle, FileIdentity& id) {
    FileId byHandle;
    if (!IdOfHandle(handle, byHandle)) {
        return false;
    }
    id.file[0] = byHandle.index;
    id.file[1] = byHandle.indexHigh;
    return VolumeGuid(handle, id.volume);
}

bool Win32File::Identity(FileIdentity& id) const {
    return IdentityOfHandle(handle_.get(), id);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What systemPath leads to, links and junctions followed, directories included, opened to
// be examined only.
HANDLE OpenToExamine(const std::wstring& systemPath) {
    return CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IdentifySystemPath(const std::wstring& systemPath, const std::string& path, FileId& id,
                        Error& error) {
    Handle handle(OpenToExamine(systemPath));
    if (!handle.valid()) {
        error = Failed(GetLastError(), "CreateFileW", path);
        return false;
    }
    if (!IdOfHandle(handle.get(), id)) {
        error = Failed(GetLastError(), "GetFileInformationByHandle", path);
        return false;
    }
    return true;
}

// Reads through a handle that may also write attributes leave the last access time as it
// was: a check leaves the backup medium as it found it. Read-only media refuse that access;
// the file is read all the same.
constexpr DWORD kKeepAccessTime = GENERIC_READ | FILE_WRITE_ATTRIBUTES;

HANDLE KeepAccessTime(HANDLE handle) {
    FILETIME unchanged = {0xFFFFFFFF, 0xFFFFFFFF};
    SetFileTime(handle, nullptr, &unchanged, nullptr);
    return handle;
}

// Without FILE_FLAG_BACKUP_SEMANTICS a directory does not open.
HANDLE OpenForReading(const std::string& path, DWORD flags) {
    std::wstring system = SystemPath(path);
    HANDLE handle = CreateFileW(system.c_str(), kKeepAccessTime, kShareAll, nullptr, OPEN_EXISTING,
                                flags, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        return KeepAccessTime(handle);
    }
    handle = CreateFileW(system.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, flags,
                         nullptr);
    // A directory is refused as a file that may not be read is: told apart, it is no file.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED) {
        DWORD attributes = GetFileAttributesW(system.c_str());
        bool dir = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        SetLastError(dir ? ERROR_DIRECTORY_NOT_SUPPORTED : ERROR_ACCESS_DENIED);
    }
    return handle;
}

// A directory is listed through a handle opened as files are, so that listing it leaves its
// last access time as it was; read-only media refuse that access and are listed all the same.
HANDLE OpenToList(const std::wstring& systemDir) {
    HANDLE handle =
        CreateFileW(systemDir.c_str(), FILE_LIST_DIRECTORY | FILE_WRITE_ATTRIBUTES, kShareAll,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        return KeepAccessTime(handle);
    }
    return CreateFileW(systemDir.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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
    MediumFile(Handle&& handle, const std::string& path, BouncePool& pool, size_t alignment,
               bool cached)
        : AlignedReader(pool, path, alignment, cached), handle_(std::move(handle)) {
        FILE_BASIC_INFO info;
        notLocal_ =
            GetFileInformationByHandleEx(handle_.get(), FileBasicInfo, &info, sizeof info) &&
            AttributesNotLocal(info.FileAttributes);
    }

    bool NotLocal() const override { return notLocal_; }
    bool Identity(FileIdentity& id) const override { return IdentityOfHandle(handle_.get(), id); }

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
            error = Failed(code, "ReadFile", path());
            return RefusesUncached(static_cast<int>(code)) ? Chunk::kRefused : Chunk::kFailed;
        }
        got = read;
        return Chunk::kRead;
    }

    bool UseCache(Error& error) override {
        HANDLE cached =
            ReOpenFile(handle_.get(), kKeepAccessTime, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN);
        if (cached != INVALID_HANDLE_VALUE) {
            KeepAccessTime(cached);
        } else {
            cached = ReOpenFile(handle_.get(), GENERIC_READ, kShareAll, FILE_FLAG_SEQUENTIAL_SCAN);
        }
        if (cached == INVALID_HANDLE_VALUE) {
            error = Failed(GetLastError(), "ReOpenFile", path());
            return false;
        }
        handle_.Reset(cached);
        return true;
    }

private:
    bool notLocal_ = false;
    Handle handle_;
};

// The name the system gives what handle leads to, with a drive letter and without the
// extended-length prefix; ERROR_SUCCESS or the error.
DWORD FinalName(HANDLE handle, std::string& resolved) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        DWORD length =
            GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return GetLastError();
        }
        bool whole = length < name.size();
        name.resize(length);
        if (whole) {
            break;
        }
    }
    if (name.starts_with(L"\\\\?\\UNC\\")) {
        name = L"\\\\" + name.substr(8);
    } else if (name.starts_with(L"\\\\?\\")) {
        name = name.substr(4);
    }
    resolved = FromWide(name);
    return ERROR_SUCCESS;
}

// The names of the final path of what path leads to, the first ones its volume's as
// volumeName asks: by GUID ("Volume{...}") or by device ("Device", "Mup", ...).
// GetFinalPathNameByHandleW fails on shares whose parents cannot be read, and by GUID on
// every share.
bool FinalNames(const std::string& path, DWORD volumeName, std::vector<std::wstring>& names,
                Error& error) {
    Handle handle(OpenToExamine(SystemPath(path)));
    if (!handle.valid()) {
        error = Failed(GetLastError(), "CreateFileW", path);
        return false;
    }
    std::wstring final(MAX_PATH, L'\0');
    for (;;) {
        DWORD length =
            GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | volumeName);
        if (length == 0) {
            error = Failed(GetLastError(), "GetFinalPathNameByHandleW", path);
            return false;
        }
        bool whole = length < final.size();
        final.resize(length);
        if (whole) {
            break;
        }
    }
    for (size_t start = 0; start < final.size();) {
        size_t end = std::min(final.find(L'\\', start), final.size());
        if (end > start) {
            names.push_back(final.substr(start, end - start));
        }
        start = end + 1;
    }
    return true;
}

// What a link or junction whose target is missing gives: the entry stays, checked by name.
bool NoTarget(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
           code == ERROR_CANT_RESOLVE_FILENAME;
}

class Win32FileSystem : public FileSystem {
public:
    bool List(const std::string& dir, std::vector<DirEntry>& entries, Error& error) override {
        entries.clear();
        // An empty path names no directory, not the current drive's root.
        if (dir.empty()) {
            error = Failed(ERROR_PATH_NOT_FOUND, "CreateFileW", dir);
            return false;
        }
        std::string withSeparator = dir;
        if (withSeparator.back() != '\\' && withSeparator.back() != '/') {
            withSeparator += '\\';
        }
        std::wstring systemDir = SystemPath(withSeparator);
        Handle handle(OpenToList(systemDir));
        if (!handle.valid()) {
            error = Failed(GetLastError(), "CreateFileW", dir);
            return false;
        }
        // Records are 8-byte aligned; a large buffer asks the system for many at once.
        std::vector<uint64_t> buffer(size_t{64} << 10 >> 3);
        for (FILE_INFO_BY_HANDLE_CLASS kind = FileIdBothDirectoryRestartInfo;;
             kind = FileIdBothDirectoryInfo) {
            if (!GetFileInformationByHandleEx(handle.get(), kind, buffer.data(),
                                              static_cast<DWORD>(buffer.size() * 8))) {
                DWORD code = GetLastError();
                // The end; an empty drive root has not even "." and "..".
                if (code == ERROR_NO_MORE_FILES || code == ERROR_FILE_NOT_FOUND) {
                    return true;
                }
                error = Failed(code, "GetFileInformationByHandleEx", dir);
                return false;
            }
            auto* at = reinterpret_cast<const unsigned char*>(buffer.data());
            for (;;) {
                auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
                std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
                if (name != L"." && name != L"..") {
                    entries.push_back(Examine(name, info->FileAttributes,
                                              static_cast<uint64_t>(info->EndOfFile.QuadPart),
                                              systemDir + name));
                    if (entries.size() % kPulseEvery == 0) {
                        Pulse();
                    }
                }
                if (info->NextEntryOffset == 0) {
                    break;
                }
                at += info->NextEntryOffset;
            }
        }
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, Error& error) override {
        // Owned before anything that can throw.
        Handle handle(OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN));
        if (!handle.valid()) {
            error = Failed(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        LARGE_INTEGER size;
        if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
            error = Failed(ERROR_NOT_SUPPORTED, "CreateFileW", path);
            return nullptr;
        }
        if (!GetFileSizeEx(handle.get(), &size)) {
            error = Failed(GetLastError(), "GetFileSizeEx", path);
            return nullptr;
        }
        return std::make_unique<FileReader>(std::make_unique<Win32File>(std::move(handle)), path,
                                            static_cast<uint64_t>(size.QuadPart));
    }

    std::unique_ptr<InputFile> OpenReadFromMedium(const std::string& path, Error& error) override {
        bool cached = false;
        Handle handle(OpenForReading(path, FILE_FLAG_NO_BUFFERING));
        if (!handle.valid() && RefusesUncached(static_cast<int>(GetLastError()))) {
            cached = true;
            handle.Reset(OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN));
        }
        if (!handle.valid()) {
            error = Failed(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        if (GetFileType(handle.get()) != FILE_TYPE_DISK) {
            error = Failed(ERROR_NOT_SUPPORTED, "CreateFileW", path);
            return nullptr;
        }
        size_t alignment = SectorAlignment(handle.get());
        return std::make_unique<MediumFile>(std::move(handle), path, pool_, alignment, cached);
    }

    // A link or junction is a reparse point; a directory is never a file to replace, nor is
    // a device: "\\.\" names one, as do "NUL" or "x\\CON" once made absolute.
    bool KindAt(const std::string& path, PathKind& kind, Error& error) override {
        std::wstring system = SystemPath(path);
        if (system.starts_with(L"\\\\.\\")) {
            kind = PathKind::kOther;
            return true;
        }
        DWORD attributes = GetFileAttributesW(system.c_str());
        kind = PathKind::kNothing;
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            DWORD code = GetLastError();
            error = Failed(code, "GetFileAttributesW", path);
            return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        }
        kind = attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE) ? PathKind::kOther
               : attributes & FILE_ATTRIBUTE_REPARSE_POINT                     ? PathKind::kLink
                                                                               : PathKind::kRegular;
        return true;
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
        DWORD code = handle.valid() ? FinalName(handle.get(), resolved) : GetLastError();
        if (code == ERROR_SUCCESS) {
            return true;
        }
        // A name still to be made, or one that Wine cannot name because its path is longer
        // than MAX_PATH: its directory resolved, the name as given.
        while (system.ends_with(L'\\') && system.size() > 7) {
            system.pop_back();
        }
        size_t cut = system.find_last_of(L'\\');
        if ((code != ERROR_FILE_NOT_FOUND && code != ERROR_MORE_DATA) ||
            cut == std::wstring::npos || cut + 1 == system.size()) {
            error =
                Failed(code, handle.valid() ? "GetFinalPathNameByHandleW" : "CreateFileW", path);
            return false;
        }
        std::string dir;
        if (!Resolve(FromWide(system.substr(0, cut + 1)), dir, error)) {
            error.path = path;
            return false;
        }
        resolved = dir + (dir.ends_with('\\') ? "" : "\\") + FromWide(system.substr(cut + 1));
        return true;
    }

    // Shared for deletion: a console closing may remove it while it is open.
    std::unique_ptr<OutputFile> CreateNew(const std::string& path, Error& error) override {
        Handle handle(CreateFileW(SystemPath(path).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle.valid()) {
            error = Failed(GetLastError(), "CreateFileW", path);
            return nullptr;
        }
        return std::make_unique<FileWriter>(std::make_unique<Win32File>(std::move(handle)), path);
    }

    bool Rename(const std::string& from, const std::string& to, bool replace,
                Error& error) override {
        DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (!MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), flags)) {
            error = Failed(GetLastError(), "MoveFileExW", to);
            return false;
        }
        return true;
    }

    // The final paths name the volume by its GUID, whatever drive letter or folder it is
    // reached through; letter case is ignored, which errs towards within.
    bool Within(const std::string& dir, const std::string& root, bool& within,
                Error& error) override {
        std::vector<std::wstring> below, above;
        if (!FinalNames(dir, VOLUME_NAME_GUID, below, error) ||
            !FinalNames(root, VOLUME_NAME_GUID, above, error)) {
            // A network share has no volume GUID: the redirector's device name says what it
            // is, whatever drive letter maps it, and differs from every local volume's.
            below.clear();
            above.clear();
            if (!FinalNames(dir, VOLUME_NAME_NT, below, error) ||
                !FinalNames(root, VOLUME_NAME_NT, above, error)) {
                return false;
            }
        }
        within = above.size() <= below.size() &&
                 std::equal(above.begin(), above.end(), below.begin(),
                            [](const std::wstring& a, const std::wstring& b) {
                                return CompareStringOrdinal(a.data(), static_cast<int>(a.size()),
                                                            b.data(), static_cast<int>(b.size()),
                                                            TRUE) == CSTR_EQUAL;
                            });
        return true;
    }

    bool Remove(const std::string& path, Error& error) override {
        if (!DeleteFileW(SystemPath(path).c_str())) {
            error = Failed(GetLastError(), "DeleteFileW", path);
            return false;
        }
        return true;
    }

private:
    static constexpr size_t kPulseEvery = 256;

    // Links and junctions are followed to what they lead to. One whose target is missing
    // stays neither directory nor file and is checked by name only; one that cannot be
    // examined otherwise is unreadable.
    static DirEntry Examine(const std::wstring& name, DWORD attributes, uint64_t size,
                            const std::wstring& systemPath) {
        DirEntry entry;
        entry.name = FromWide(name);
        entry.isDir = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.size = size;
        entry.notLocal = AttributesNotLocal(attributes);
        bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        // Only directories need an identity: it is what catches a tree that leads back
        // into itself.
        if (!link && !entry.isDir) {
            entry.isRegular = true;
            return entry;
        }
        Handle handle(OpenToExamine(systemPath));
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info)) {
            DWORD code = GetLastError();
            if (link) {
                entry.isDir = false;
                entry.size = 0;
                entry.unreadable = !NoTarget(code);
            }
            return entry;
        }
        entry.isDir = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.isRegular = !entry.isDir;
        entry.size = entry.isRegular ? (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow : 0;
        entry.hasId = IdOfHandle(handle.get(), entry.id);
        return entry;
    }

    BouncePool pool_;
};

}  // namespace

Error Refused(const char* call, const std::string& path) {
    return Failed(ERROR_ACCESS_DENIED, call, path);
}

Error NotAFile(const char* call, const std::string& path) {
    return Failed(ERROR_NOT_SUPPORTED, call, path);
}

FileSystem& RealFileSystem() {
    static Win32FileSystem fileSystem;
    return fileSystem;
}

}  // namespace platform
