// Listings and files on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/medium.h"

namespace platform {
namespace {

Error Failure(int code, const char* call, const std::string& path) {
    Error error;
    error.code = code;
    error.call = call;
    error.path = path;
    return error;
}

FileId IdOf(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

class Directory {
public:
    explicit Directory(DIR* dir) : dir_(dir) {}
    ~Directory() {
        if (dir_ != nullptr) {
            closedir(dir_);
        }
    }
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    DIR* get() const { return dir_; }

private:
    DIR* dir_;
};

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, for callers that need to know whether the data reached the file.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return close(fd) == 0;
    }

private:
    int fd_;
};

// Larger counts are not guaranteed to go through read and write in one call anyway.
constexpr size_t kMaxTransfer = size_t{1} << 30;

class PosixInputFile : public InputFile {
public:
    PosixInputFile(int fd, const std::string& path) : fd_(fd), path_(path) {}

    // The size the file had when it was opened: a short read that ends there is the end of
    // the file, without one more read to hear it. A file that grew is read on to its end.
    void SetSizeAtOpen(uint64_t size) { sizeAtOpen_ = size; }

    bool Read(void* buf, size_t n, size_t& got, Error& error) override {
        got = 0;
        auto* bytes = static_cast<char*>(buf);
        while (got < n) {
            size_t want = n - got < kMaxTransfer ? n - got : kMaxTransfer;
            ssize_t r = read(fd_.get(), bytes + got, want);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = Failure(errno, "read", path_);
                return false;
            }
            if (r == 0) {
                break;
            }
            got += static_cast<size_t>(r);
            offset_ += static_cast<uint64_t>(r);
            if (got < n && offset_ == sizeAtOpen_) {
                break;
            }
        }
        return true;
    }

private:
    Descriptor fd_;
    std::string path_;
    uint64_t sizeAtOpen_ = UINT64_MAX;
    uint64_t offset_ = 0;
};

class PosixOutputFile : public OutputFile {
public:
    PosixOutputFile(int fd, const std::string& path) : fd_(fd), path_(path) {}

    bool Write(const void* data, size_t n, Error& error) override {
        auto* bytes = static_cast<const char*>(data);
        size_t done = 0;
        while (done < n) {
            size_t want = n - done < kMaxTransfer ? n - done : kMaxTransfer;
            ssize_t r = write(fd_.get(), bytes + done, want);
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = Failure(errno, "write", path_);
                return false;
            }
            done += static_cast<size_t>(r);
        }
        return true;
    }

    bool Close(Error& error) override {
        if (!fd_.Close()) {
            error = Failure(errno, "close", path_);
            return false;
        }
        return true;
    }

private:
    Descriptor fd_;
    std::string path_;
};

// Non-blocking so that opening a FIFO returns at once, to be refused by CheckRegular.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Without updating the access time where the system allows it (the owner, or root): a check
// leaves the backup medium as it found it.
int OpenNoAtime(const std::string& path, int flags) {
    int fd = open(path.c_str(), flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = open(path.c_str(), flags);
    }
    return fd;
}

// Refuses what is not a regular file. O_NONBLOCK can stay: reads of a regular file ignore it,
// and clearing it would cost two more calls for every file.
bool CheckRegular(int fd, const std::string& path, Error& error, uint64_t* size = nullptr) {
    struct stat st;
    if (fstat(fd, &st) != 0) {
        error = Failure(errno, "fstat", path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = Failure(S_ISDIR(st.st_mode) ? EISDIR : ENOTSUP, "open", path);
        return false;
    }
    if (size) {
        *size = static_cast<uint64_t>(st.st_size);
    }
    return true;
}

// What direct reads of the file must be aligned to, as the system reports it.
size_t DirectAlignment(int fd) {
    size_t alignment = kMinAlignment;
#ifdef STATX_DIOALIGN
    struct statx stx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &stx) == 0 &&
        (stx.stx_mask & STATX_DIOALIGN) != 0) {
        size_t asked = std::max(stx.stx_dio_mem_align, stx.stx_dio_offset_align);
        if (std::has_single_bit(asked)) {
            alignment = std::max(alignment, asked);
        }
    }
#endif
    return alignment;
}

// Clean pages of the file leave the cache, so that reads through it come from the medium
// unless something else reads the file meanwhile. Only a hint: nothing to do if refused.
void DropCachedPages(int fd) {
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

// Read with O_DIRECT, turned off when the file system refuses it.
class MediumFile : public AlignedReader {
public:
    MediumFile(int fd, const std::string& path, BouncePool& pool, size_t alignment, bool cached)
        : AlignedReader(pool, path, alignment, cached), fd_(fd) {}

protected:
    Chunk ReadChunk(uint64_t offset, void* buf, size_t n, size_t& got, Error& error) override {
        for (;;) {
            ssize_t r = pread(fd_.get(), buf, n, static_cast<off_t>(offset));
            if (r >= 0) {
                got = static_cast<size_t>(r);
                return Chunk::kRead;
            }
            int code = errno;
            if (code != EINTR) {
                error = Failure(code, "read", path());
                return code == EINVAL ? Chunk::kRefused : Chunk::kFailed;
            }
        }
    }

    bool UseCache(Error& error) override {
        int flags = fcntl(fd_.get(), F_GETFL);
        if (flags < 0 || fcntl(fd_.get(), F_SETFL, flags & ~O_DIRECT) != 0) {
            error = Failure(errno, "fcntl", path());
            return false;
        }
        DropCachedPages(fd_.get());
        return true;
    }

private:
    Descriptor fd_;
};

class PosixFileSystem : public FileSystem {
public:
    bool List(const std::string& dir, std::vector<DirEntry>& entries, Error& error) override {
        entries.clear();
        Directory d(opendir(dir.c_str()));
        if (d.get() == nullptr) {
            error = Failure(errno, "opendir", dir);
            return false;
        }
        for (;;) {
            errno = 0;
            dirent* found = readdir(d.get());
            if (found == nullptr) {
                if (errno != 0) {
                    error = Failure(errno, "readdir", dir);
                    return false;
                }
                return true;
            }
            std::string name = found->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            DirEntry entry;
            entry.name = name;
            // Links are followed; one whose target cannot be examined (dangling, a loop)
            // stays neither directory nor file and is checked by name only.
            struct stat st;
            if (fstatat(dirfd(d.get()), found->d_name, &st, 0) == 0) {
                entry.isDir = S_ISDIR(st.st_mode);
                entry.isRegular = S_ISREG(st.st_mode);
                entry.size = entry.isRegular ? static_cast<uint64_t>(st.st_size) : 0;
                entry.id = IdOf(st);
                entry.hasId = true;
            }
            entries.push_back(std::move(entry));
        }
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, Error& error) override {
        int fd = OpenNoAtime(path, kReadFlags);
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        auto file = std::make_unique<PosixInputFile>(fd, path);
        uint64_t size = 0;
        if (!CheckRegular(fd, path, error, &size)) {
            return nullptr;
        }
        file->SetSizeAtOpen(size);
        return file;
    }

    std::unique_ptr<InputFile> OpenReadFromMedium(const std::string& path, Error& error) override {
        bool cached = false;
        int fd = OpenNoAtime(path, kReadFlags | O_DIRECT);
        if (fd < 0 && errno == EINVAL) {
            cached = true;
            fd = OpenNoAtime(path, kReadFlags);
        }
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        auto file = std::make_unique<MediumFile>(fd, path, pool_, DirectAlignment(fd), cached);
        if (!CheckRegular(fd, path, error)) {
            return nullptr;
        }
        if (cached) {
            DropCachedPages(fd);
        }
        return file;
    }

    bool SameVolume(const std::string& a, const std::string& b) override {
        struct stat sa;
        struct stat sb;
        return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
    }

    bool Exists(const std::string& path) override {
        struct stat st;
        return lstat(path.c_str(), &st) == 0;
    }

    bool Identify(const std::string& path, FileId& id, Error& error) override {
        struct stat st;
        if (stat(path.c_str(), &st) != 0) {
            error = Failure(errno, "stat", path);
            return false;
        }
        id = IdOf(st);
        return true;
    }

    bool Resolve(const std::string& path, std::string& resolved, Error& error) override {
        if (char* real = realpath(path.c_str(), nullptr)) {
            resolved = real;
            free(real);
            return true;
        }
        if (errno != ENOENT) {
            error = Failure(errno, "realpath", path);
            return false;
        }
        // A name still to be made: its directory resolved, the name as given.
        std::string trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/') {
            trimmed.pop_back();
        }
        size_t slash = trimmed.rfind('/');
        std::string dir = slash == std::string::npos ? "." : trimmed.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
        char* real = realpath(dir.c_str(), nullptr);
        if (real == nullptr || name.empty() || name == "." || name == "..") {
            error = Failure(real ? ENOENT : errno, "realpath", path);
            free(real);
            return false;
        }
        resolved = real;
        free(real);
        if (resolved != "/") {
            resolved += '/';
        }
        resolved += name;
        return true;
    }

    std::unique_ptr<OutputFile> Create(const std::string& path, Error& error) override {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        return std::make_unique<PosixOutputFile>(fd, path);
    }

private:
    BouncePool pool_;
};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace platform
