// Listings and files on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <deque>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/fs.h"
#include "platform/medium.h"

namespace platform {

bool RefusesUncached(int code) {
    return code == EINVAL;
}

const CallNames kCalls = {"read", "write", "close", "fsync"};

namespace {

FileId IdOf(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Reset(-1); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void Reset(int fd) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

class PosixFile : public SystemFile {
public:
    explicit PosixFile(int fd, std::optional<FileIdentity> id = {}) : fd_(fd), id_(id) {}

    Transfer ReadSome(void* buf, size_t n, size_t& got, int& code) override {
        return Done(read(fd_.get(), buf, n), got, code);
    }
    Transfer WriteSome(const void* data, size_t n, size_t& put, int& code) override {
        return Done(write(fd_.get(), data, n), put, code);
    }
    bool Sync(int& code) override {
        if (fsync(fd_.get()) != 0) {
            code = errno;
            return false;
        }
        return true;
    }
    bool Close(int& code) override {
        if (close(fd_.Release()) != 0) {
            code = errno;
            return false;
        }
        return true;
    }
    bool Identity(FileIdentity& id) const override {
        if (id_) {
            id = *id_;
        }
        return id_.has_value();
    }

private:
    static Transfer Done(ssize_t r, size_t& count, int& code) {
        count = r > 0 ? static_cast<size_t>(r) : 0;
        if (r >= 0) {
            return Transfer::kDone;
        }
        code = errno;
        return code == EINTR ? Transfer::kInterrupted : Transfer::kFailed;
    }

    Descriptor fd_;
    std::optional<FileIdentity> id_;
};

// Where the system is given a path: whole, from the current directory, while it is shorter
// than PATH_MAX; a longer one from a handle to a directory along it, opened piece by piece.
class Place {
public:
    // False with errno when a directory along the path cannot be opened.
    bool Reach(const std::string& path) {
        size_t start = 0;
        while (path.size() - start >= PATH_MAX) {
            size_t cut = path.rfind('/', start + PATH_MAX - 2);
            if (cut == std::string::npos || cut < start) {
                errno = ENAMETOOLONG;
                return false;
            }
            std::string piece = path.substr(start, cut + 1 - start);
            int fd = openat(dir(), piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) {
                return false;
            }
            dir_.Reset(fd);
            start = path.find_first_not_of('/', cut);
            start = start == std::string::npos ? path.size() : start;
        }
        // What is left after the last piece; nothing left is that directory itself.
        rel_ = start == 0 ? path : start < path.size() ? path.substr(start) : ".";
        return true;
    }
    int dir() const { return dir_.get() >= 0 ? dir_.get() : AT_FDCWD; }
    const char* rel() const { return rel_.c_str(); }

private:
    Descriptor dir_;
    std::string rel_;
};

int OpenAt(const std::string& path, int flags, mode_t mode = 0) {
    Place place;
    return place.Reach(path) ? openat(place.dir(), place.rel(), flags, mode) : -1;
}

bool StatAt(const std::string& path, struct stat& st, int flags) {
    Place place;
    return place.Reach(path) && fstatat(place.dir(), place.rel(), &st, flags) == 0;
}

// The directory that holds path, as path names it.
std::string DirOf(const std::string& path) {
    size_t cut = path.rfind('/');
    return cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
}

// Writes the names in the directory that holds path through to its medium.
bool SyncDirOf(const std::string& path, Error& error) {
    Descriptor dir(OpenAt(DirOf(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some FUSE and network file systems take no flush of a directory (EINVAL): what they
    // hold of a name is beyond the program's reach, as it is for any program.
    if (dir.get() < 0 || (fsync(dir.get()) != 0 && errno != EINVAL && errno != ENOTSUP)) {
        error = Failure(errno, "fsync", DirOf(path));
        return false;
    }
    return true;
}

// Opened with O_TMPFILE in its directory, whose handle it keeps to be named there.
class PosixUnnamedFile : public UnnamedFile {
public:
    PosixUnnamedFile(int dir, int fd, const std::string& path)
        : dir_(dir), fd_(fd), writer_(std::make_unique<PosixFile>(fd), path) {}
    bool Write(const void* data, size_t n, Error& error) override {
        return writer_.Write(data, n, error);
    }
    bool Flush(Error& error) override { return writer_.Flush(error); }
    bool Close(Error& error) override { return writer_.Close(error); }

    // Linking from the handle itself takes CAP_DAC_READ_SEARCH; through /proc it does not.
    bool Name(const std::string& path, Error& error) override {
        std::string name = path.substr(path.rfind('/') + 1);
        int done = linkat(fd_, "", dir_.get(), name.c_str(), AT_EMPTY_PATH);
        if (done != 0 && errno != EEXIST) {
            std::string self = "/proc/self/fd/" + std::to_string(fd_);
            done = linkat(AT_FDCWD, self.c_str(), dir_.get(), name.c_str(), AT_SYMLINK_FOLLOW);
        }
        if (done != 0) {
            error = Failure(errno, "linkat", path);
            return false;
        }
        // A name that may not outlive a power cut is taken back.
        if (fsync(dir_.get()) != 0) {
            error = Failure(errno, "fsync", path);
            unlinkat(dir_.get(), name.c_str(), 0);
            return false;
        }
        return true;
    }

private:
    Descriptor dir_;
    int fd_;  // owned by writer_
    FileWriter writer_;
};

// Non-blocking so that opening a FIFO returns at once, to be refused by CheckRegular.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Without updating the access time where the system allows it (the owner, or root): a check
// leaves the backup medium as it found it.
int OpenNoAtime(const std::string& path, int flags) {
    int fd = OpenAt(path, flags | O_NOATIME);
    if (fd < 0 && errno == EPERM) {
        fd = OpenAt(path, flags);
    }
    return fd;
}

// Refuses what is not a regular file. O_NONBLOCK can stay for reading: reads of a regular
// file ignore it, and clearing it would cost two more calls for every file.
bool CheckRegular(int fd, const std::string& path, Error& error, uint64_t* size = nullptr,
                  FileIdentity* id = nullptr) {
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
    if (id) {
        *id = {{static_cast<uint64_t>(st.st_dev)}, {static_cast<uint64_t>(st.st_ino)}};
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

// Whether the first byte of the file is in the cache: asked without waiting for the device.
// A file system that cannot tell is taken to have it there, as if the question were not asked.
bool StartCached(int fd) {
    unsigned char byte;
    iovec one = {&byte, 1};
    for (;;) {
        if (preadv2(fd, &one, 1, 0, RWF_NOWAIT) >= 0)
            return true;
        if (errno != EINTR)
            return errno != EAGAIN;
    }
}

// Turns an open file to reading past the cache; false where the file system refuses.
bool TurnDirect(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_DIRECT) == 0;
}

// Clean pages of the file leave the cache, so that reads through it come from the medium
// unless something else reads the file meanwhile. Only a hint: nothing to do if refused.
void DropCachedPages(int fd) {
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
}

// Read with O_DIRECT, turned off when the file system refuses it.
class MediumFile : public AlignedReader {
public:
    MediumFile(int fd, const std::string& path, BouncePool& pool, size_t alignment, bool cached,
               FileIdentity id)
        : AlignedReader(pool, path, alignment, cached), fd_(fd), id_(id) {}

    bool Identity(FileIdentity& id) const override {
        id = id_;
        return true;
    }

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
                return RefusesUncached(code) ? Chunk::kRefused : Chunk::kFailed;
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
    FileIdentity id_;
};

// The names of path, without empty ones.
std::deque<std::string> Names(const std::string& path) {
    std::deque<std::string> names;
    size_t start = 0;
    while (start < path.size()) {
        size_t end = std::min(path.find('/', start), path.size());
        if (end > start) {
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return names;
}

bool ReadLink(const std::string& path, std::string& target) {
    Place place;
    if (!place.Reach(path)) {
        return false;
    }
    target.assign(256, '\0');
    for (;;) {
        ssize_t r = readlinkat(place.dir(), place.rel(), target.data(), target.size());
        if (r < 0) {
            return false;
        }
        if (static_cast<size_t>(r) < target.size()) {
            target.resize(static_cast<size_t>(r));
            return true;
        }
        target.resize(target.size() * 2);
    }
}

// A directory's identity and the mount it is reached through.
bool StatDir(int fd, FileId& id, uint64_t& mount) {
    struct statx stx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &stx) != 0) {
        return false;
    }
    if ((stx.stx_mask & STATX_MNT_ID) == 0) {
        errno = ENOSYS;
        return false;
    }
    id = {makedev(stx.stx_dev_major, stx.stx_dev_minor), stx.stx_ino};
    mount = stx.stx_mnt_id;
    return true;
}

// Whether the directory open at dir has an entry that is id itself, not a link to it. Where
// the listing gives no inode numbers or other ones (FUSE, overlays), each entry is examined.
bool HasEntry(int dir, const FileId& id, bool& found) {
    int fd = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::unique_ptr<DIR, int (*)(DIR*)> d(fd >= 0 ? fdopendir(fd) : nullptr, closedir);
    if (!d) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    auto is = [&](const char* name) {
        struct stat st;
        return fstatat(dirfd(d.get()), name, &st, AT_SYMLINK_NOFOLLOW) == 0 && IdOf(st) == id;
    };
    std::vector<std::string> others;
    dirent* entry;
    while ((errno = 0, entry = readdir(d.get())) != nullptr) {
        std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (entry->d_ino == id.index && is(name.c_str())) {
            found = true;
            return true;
        }
        others.push_back(std::move(name));
    }
    if (errno != 0) {
        return false;
    }
    found = std::any_of(others.begin(), others.end(),
                        [&](const std::string& name) { return is(name.c_str()); });
    return true;
}

// A line of /proc/self/mountinfo: its id, device, the directory of its file system that it
// shows, and where.
struct Mount {
    uint64_t id = 0;
    uint64_t device = 0;
    std::string root;
    std::string point;
};

// A field of mountinfo, whose spaces, tabs, newlines and backslashes are octal escapes.
std::string Unescaped(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            out += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool ReadMounts(std::vector<Mount>& mounts) {
    std::ifstream in("/proc/self/mountinfo");
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        Mount mount;
        uint64_t parent = 0;
        unsigned major = 0, minor = 0;
        char colon = 0;
        if (fields >> mount.id >> parent >> major >> colon >> minor >> mount.root >> mount.point) {
            mount.device = makedev(major, minor);
            mount.root = Unescaped(mount.root);
            mount.point = Unescaped(mount.point);
            mounts.push_back(std::move(mount));
        }
    }
    errno = mounts.empty() ? EIO : 0;
    return !mounts.empty();
}

// Whether the directory root of a file system holds the directory path of the same one.
bool Holds(const std::string& root, const std::string& path) {
    return root == "/" || path == root || path.starts_with(root + "/");
}

// The identities of a directory and of every directory above it, as the walk of a tree
// could come down to it: through ".." up to the process's root and, at the root of each
// mount, also through every other mount that shows the same directory (a bind mount's ".."
// leads to where it is mounted, not to what it shows). Confirmed when each directory is an
// entry of its parent under its own identity: a file system that gives one directory
// another identity for each spelling (FUSE, caseless) fails that.
class Ancestry {
public:
    bool Of(const std::string& path, Error& error) {
        int fd = OpenAt(path, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0 || !Climb(fd)) {
            error = Failure(errno, "open", path);
            return false;
        }
        return true;
    }
    const std::vector<FileId>& ids() const { return ids_; }
    bool confirmed() const { return confirmed_; }

private:
    bool Climb(int opened) {
        Descriptor dir(opened);
        FileId id;
        uint64_t mount = 0;
        if (!StatDir(dir.get(), id, mount)) {
            return false;
        }
        for (;;) {
            ids_.push_back(id);
            Descriptor parent(openat(dir.get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
            FileId up;
            uint64_t upMount = 0;
            if (parent.get() < 0 || !StatDir(parent.get(), up, upMount)) {
                return false;
            }
            bool found = true;
            if (upMount != mount || up == id) {
                if (!Branch(mount, id)) {
                    return false;
                }
            } else if (!HasEntry(parent.get(), id, found)) {
                return false;
            }
            confirmed_ = confirmed_ && found;
            if (up == id) {
                return true;
            }
            dir.Reset(parent.Release());
            id = up;
            mount = upMount;
        }
    }

    // Climbs from the directory shown at the root of mount id as every other mount shows it.
    bool Branch(uint64_t id, const FileId& shown) {
        if (std::find(branched_.begin(), branched_.end(), id) != branched_.end()) {
            return true;
        }
        branched_.push_back(id);
        if (mounts_.empty() && !ReadMounts(mounts_)) {
            return false;
        }
        auto own = std::find_if(mounts_.begin(), mounts_.end(),
                                [&](const Mount& m) { return m.id == id; });
        if (own == mounts_.end()) {
            errno = ENOENT;
            return false;
        }
        // Another mount may hide the directory where it would show it: then it is not shown.
        for (const Mount& other : mounts_) {
            if (other.id == id || other.device != own->device || !Holds(other.root, own->root)) {
                continue;
            }
            std::string rest = own->root.substr(other.root == "/" ? 0 : other.root.size());
            Descriptor fd(OpenAt(other.point + rest, O_PATH | O_DIRECTORY | O_CLOEXEC));
            struct stat st;
            if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || IdOf(st) != shown) {
                continue;
            }
            if (!Climb(fd.Release())) {
                return false;
            }
        }
        return true;
    }

    std::vector<FileId> ids_;
    bool confirmed_ = true;
    std::vector<Mount> mounts_;
    std::vector<uint64_t> branched_;
};

// Links that one path may pass through before it counts as a loop, as Linux counts them.
constexpr int kMaxLinks = 40;

class PosixFileSystem : public FileSystem {
public:
    bool List(const std::string& dir, std::vector<DirEntry>& entries, Error& error) override {
        return Read(dir, entries, error, true);
    }

    bool ListNames(const std::string& dir, std::vector<DirEntry>& entries, Error& error) override {
        return Read(dir, entries, error, false);
    }

    // A listing, each entry examined or, where its type is given, named only.
    bool Read(const std::string& dir, std::vector<DirEntry>& entries, Error& error, bool examine) {
        entries.clear();
        int fd = OpenNoAtime(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
        DIR* opened = fd >= 0 ? fdopendir(fd) : nullptr;
        if (opened == nullptr) {
            error = Failure(errno, "opendir", dir);
            if (fd >= 0) {
                close(fd);
            }
            return false;
        }
        std::unique_ptr<DIR, int (*)(DIR*)> d(opened, closedir);
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
            if (examine || found->d_type == DT_UNKNOWN) {
                entries.push_back(Examine(dirfd(d.get()), std::move(name)));
            } else {
                DirEntry& entry = entries.emplace_back();
                entry.name = std::move(name);
                entry.isDir = found->d_type == DT_DIR;
            }
            if (entries.size() % kPulseEvery == 0) {
                Pulse();
            }
        }
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, Error& error) override {
        return Open(path, false, error);
    }

    std::unique_ptr<InputFile> OpenReadFromMedium(const std::string& path, Error& error) override {
        bool cached = false;
        int fd = OpenNoAtime(path, kReadFlags | O_DIRECT);
        if (fd < 0 && RefusesUncached(errno)) {
            cached = true;
            fd = OpenNoAtime(path, kReadFlags);
        }
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        Descriptor owned(fd);
        FileIdentity id;
        if (!CheckRegular(fd, path, error, nullptr, &id)) {
            return nullptr;
        }
        if (cached) {
            DropCachedPages(fd);
        }
        return std::make_unique<MediumFile>(owned.Release(), path, pool_, DirectAlignment(fd),
                                            cached, id);
    }

    std::unique_ptr<InputFile> OpenReadOnce(const std::string& path, Error& error) override {
        return Open(path, true, error);
    }

    bool Exists(const std::string& path) override {
        struct stat st;
        return StatAt(path, st, AT_SYMLINK_NOFOLLOW);
    }

    bool KindAt(const std::string& path, PathKind& kind, Error& error) override {
        struct stat st;
        if (!StatAt(path, st, AT_SYMLINK_NOFOLLOW)) {
            kind = PathKind::kNothing;
            error = Failure(errno, "lstat", path);
            return error.code == ENOENT;
        }
        kind = S_ISREG(st.st_mode)   ? PathKind::kRegular
               : S_ISLNK(st.st_mode) ? PathKind::kLink
                                     : PathKind::kOther;
        return true;
    }

    bool Identify(const std::string& path, FileId& id, Error& error) override {
        struct stat st;
        if (!StatAt(path, st, 0)) {
            error = Failure(errno, "stat", path);
            return false;
        }
        id = IdOf(st);
        return true;
    }

    // Name by name, as realpath does, but with no limit on the length of the path.
    bool Resolve(const std::string& path, std::string& resolved, Error& error) override {
        std::string done;  // resolved so far; empty for the root
        if (!path.starts_with('/') && !GetCurrentDir(done, error)) {
            return false;
        }
        if (done == "/") {
            done.clear();
        }
        std::deque<std::string> todo = Names(path);
        int links = 0;
        while (!todo.empty()) {
            std::string name = std::move(todo.front());
            todo.pop_front();
            if (name == ".") {
                continue;
            }
            if (name == "..") {
                done.erase(std::min(done.rfind('/'), done.size()));
                continue;
            }
            std::string next = done + "/" + name;
            struct stat st;
            if (!StatAt(next, st, AT_SYMLINK_NOFOLLOW)) {
                // A name still to be made: its directory resolved, the name as given.
                if (errno == ENOENT && todo.empty()) {
                    resolved = next;
                    return true;
                }
                error = Failure(errno, "realpath", path);
                return false;
            }
            if (S_ISLNK(st.st_mode)) {
                std::string target;
                if (++links > kMaxLinks || !ReadLink(next, target)) {
                    error = Failure(links > kMaxLinks ? ELOOP : errno, "realpath", path);
                    return false;
                }
                std::deque<std::string> more = Names(target);
                todo.insert(todo.begin(), more.begin(), more.end());
                if (target.starts_with('/')) {
                    done.clear();
                }
                continue;
            }
            if (!S_ISDIR(st.st_mode) && !todo.empty()) {
                error = Failure(ENOTDIR, "realpath", path);
                return false;
            }
            done = next;
        }
        resolved = done.empty() ? "/" : done;
        return true;
    }

    std::unique_ptr<OutputFile> CreateNew(const std::string& path, Error& error) override {
        int fd = OpenAt(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        return std::make_unique<FileWriter>(std::make_unique<PosixFile>(fd), path);
    }

    std::unique_ptr<UnnamedFile> CreateUnnamed(const std::string& path, Error& error) override {
        Descriptor dir(OpenAt(DirOf(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        int fd =
            dir.get() < 0 ? -1 : openat(dir.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        return std::make_unique<PosixUnnamedFile>(dir.Release(), fd, path);
    }

    bool Rename(const std::string& from, const std::string& to, bool replace,
                Error& error) override {
        Place source, target;
        if (!source.Reach(from) || !target.Reach(to)) {
            error = Failure(errno, "rename", to);
            return false;
        }
        int done = replace ? renameat(source.dir(), source.rel(), target.dir(), target.rel())
                           : renameat2(source.dir(), source.rel(), target.dir(), target.rel(),
                                       RENAME_NOREPLACE);
        // A file system without the flag: a second name, which cannot replace, then the first
        // name gone; without links either (FAT through FUSE), the name is taken by a new empty
        // file first, and only that is replaced.
        if (done != 0 && !replace && errno == EINVAL) {
            done = linkat(source.dir(), source.rel(), target.dir(), target.rel(), 0);
            if (done == 0) {
                unlinkat(source.dir(), source.rel(), 0);
            } else if (errno == EPERM || errno == EOPNOTSUPP || errno == ENOSYS) {
                int taken = openat(target.dir(), target.rel(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
                done = taken < 0 ? -1 : close(taken);
                if (done == 0)
                    done = renameat(source.dir(), source.rel(), target.dir(), target.rel());
            }
        }
        if (done != 0) {
            error = Failure(errno, "rename", to);
            return false;
        }
        return SyncDirOf(to, error);
    }

    bool Within(const std::string& dir, const std::string& root, bool& within,
                Error& error) override {
        Ancestry below, above;
        if (!below.Of(dir, error) || !above.Of(root, error)) {
            return false;
        }
        const std::vector<FileId>& ids = below.ids();
        within = std::find(ids.begin(), ids.end(), above.ids().front()) != ids.end() ||
                 !below.confirmed() || !above.confirmed();
        return true;
    }

    bool Remove(const std::string& path, Error& error) override {
        Place place;
        if (!place.Reach(path) || unlinkat(place.dir(), place.rel(), 0) != 0) {
            error = Failure(errno, "unlink", path);
            return false;
        }
        return true;
    }

private:
    static constexpr size_t kPulseEvery = 256;

    // Through the cache; once: past it when the file's start is not there.
    std::unique_ptr<InputFile> Open(const std::string& path, bool once, Error& error) {
        int fd = OpenNoAtime(path, kReadFlags);
        if (fd < 0) {
            error = Failure(errno, "open", path);
            return nullptr;
        }
        Descriptor owned(fd);
        uint64_t size = 0;
        FileIdentity id;
        if (!CheckRegular(fd, path, error, &size, &id)) {
            return nullptr;
        }
        if (once && size != 0 && !StartCached(fd) && TurnDirect(fd)) {
            return std::make_unique<MediumFile>(owned.Release(), path, pool_, DirectAlignment(fd),
                                                false, id);
        }
        return std::make_unique<FileReader>(std::make_unique<PosixFile>(owned.Release(), id), path,
                                            size);
    }

    // Links are followed. One whose target is missing or a loop stays neither directory
    // nor file and is checked by name only; anything else that cannot be examined (no
    // search permission, a failing disk) is unreadable.
    static DirEntry Examine(int dir, std::string name) {
        DirEntry entry;
        entry.name = std::move(name);
        struct stat st;
        if (fstatat(dir, entry.name.c_str(), &st, 0) == 0) {
            entry.isDir = S_ISDIR(st.st_mode);
            entry.isRegular = S_ISREG(st.st_mode);
            entry.size = entry.isRegular ? static_cast<uint64_t>(st.st_size) : 0;
            entry.id = IdOf(st);
            entry.hasId = true;
            return entry;
        }
        int code = errno;
        bool noTarget = code == ENOENT || code == ENOTDIR || code == ELOOP;
        entry.unreadable =
            !(noTarget && fstatat(dir, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
              S_ISLNK(st.st_mode));
        return entry;
    }

    BouncePool pool_;
};

}  // namespace

Error Refused(const char* call, const std::string& path) {
    return Failure(EPERM, call, path);
}

Error NotAFile(const char* call, const std::string& path) {
    return Failure(ENOTSUP, call, path);
}

FileSystem& RealFileSystem() {
    static PosixFileSystem fileSystem;
    return fileSystem;
}

}  // namespace platform
