// Directory listings, read-only files and output files, behind an interface tests replace.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/dirs.h"
#include "platform/error.h"

namespace platform {

// What an entry leads to: device and inode on POSIX; on Windows the volume serial and the
// 128-bit file id, whose upper half is indexHigh.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    uint64_t indexHigh = 0;
    bool operator==(const FileId&) const = default;
};

// What an open file is, to tell whether two open files are one: device and inode on POSIX; on
// Windows the GUID of its volume and its 128-bit file id. Not the volume serial number: a
// cloned disk keeps its original's, and the file ids too.
struct FileIdentity {
    uint64_t volume[2] = {};
    uint64_t file[2] = {};
    bool operator==(const FileIdentity&) const = default;
};

struct DirEntry {
    std::string name;
    bool isDir = false;      // the entry, links and junctions followed, is a directory
    bool isRegular = false;  // a regular file; FIFOs, sockets and devices are not
    uint64_t size = 0;       // for regular files
    FileId id;               // valid when hasId
    bool hasId = false;
    // What the entry leads to could not be examined (no search permission on the directory,
    // a failing disk): neither its kind nor its size is known.
    bool unreadable = false;
    // Held elsewhere (an online-only cloud file, offline storage): reading fetches it.
    bool notLocal = false;
};

// The memory a listing holds, about.
size_t ListingBytes(const std::vector<DirEntry>& entries);

// A file open for reading, in binary. Closed by the destructor.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to n bytes into buf; fewer only at end of file. On failure returns false
    // with got holding the bytes placed before the failure.
    virtual bool Read(void* buf, size_t n, size_t& got, Error& error) = 0;
    // Whether a file opened to be read from its medium was read through the system's cache
    // all the same, because its file system refuses uncached reads.
    virtual bool ReadThroughCache() const { return false; }
    // Whether the file's contents are held elsewhere and fetched as they are read.
    virtual bool NotLocal() const { return false; }
    // What the open file is; false when the system cannot say.
    virtual bool Identity(FileIdentity& /*id*/) const { return false; }
};

// A file open for writing, made new. Closed by the destructor (result lost).
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual bool Write(const void* data, size_t n, Error& error) = 0;
    // Writes what the file holds through to its medium: what is written may be trusted only
    // once this has returned true.
    virtual bool Flush(Error& error) = 0;
    virtual bool Close(Error& error) = 0;
};

// A file that has no name until it is given one: should the process end first, nothing of it
// is left.
class UnnamedFile : public OutputFile {
public:
    // Gives the open file the name path, in the directory it was made in, and writes the name
    // through to its medium; on failure no name is left. Nothing is replaced: a name already
    // there fails (EEXIST).
    virtual bool Name(const std::string& path, Error& error) = 0;
};

// What a name itself is, a last link not followed.
enum class PathKind { kNothing, kRegular, kLink, kOther };

// Whether path lies on a volume reached over the network.
bool OnRemoteVolume(const std::string& path);

// Whether these attributes of a Windows file say that its contents are held elsewhere
// (recalled on open or on access, or offline); elsewhere there are no such attributes.
bool AttributesNotLocal(uint32_t attributes);

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Called now and then from inside a long listing, so that a window can repaint: only
    // in listings on the thread that sets it, the window's.
    void SetPulse(std::function<void()> pulse) {
        pulse_ = std::move(pulse);
        pulseThread_ = std::this_thread::get_id();
    }
    // Every entry of the directory dir (with or without a trailing separator) except "." and
    // "..", in the order the system delivers them, hidden entries included.
    virtual bool List(const std::string& dir, std::vector<DirEntry>& entries, Error& error) = 0;
    // As List, without looking at each entry where the system can: names, and isDir where
    // the listing tells it (a link to a directory may not be one); no size or identity.
    virtual bool ListNames(const std::string& dir, std::vector<DirEntry>& entries, Error& error) {
        return List(dir, entries, error);
    }
    // Opens a regular file read-only; a directory, FIFO, socket or device is refused.
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path, Error& error) = 0;
    // As OpenRead, but reads what the medium holds, past the system's cache where the file
    // system allows it: a copy just written is otherwise read back from memory.
    virtual std::unique_ptr<InputFile> OpenReadFromMedium(const std::string& path, Error& error) {
        return OpenRead(path, error);
    }
    // As OpenRead, for a file read once from start to end: from its medium when its start is
    // not in the system's cache, since its pages would only pass through the cache on their way.
    virtual std::unique_ptr<InputFile> OpenReadOnce(const std::string& path, Error& error) {
        return OpenRead(path, error);
    }
    // Whether path lies on a volume reached over the network, whose server may answer uncached
    // reads from its own memory.
    virtual bool IsRemote(const std::string& path) { return OnRemoteVolume(path); }
    // Whether something exists at path, without opening it.
    virtual bool Exists(const std::string& path) = 0;
    // What is at path, looked at without opening it or following a last link; false when it
    // cannot be looked at (nothing there is kNothing).
    virtual bool KindAt(const std::string& path, PathKind& /*kind*/, Error& error) {
        return Unsupported("lstat", path, error);
    }
    // The identity of what path leads to.
    virtual bool Identify(const std::string& path, FileId& id, Error& error) = 0;
    // The absolute path with every link, "." and ".." resolved, as the system names what
    // path leads to. A last component that does not exist is kept as given, after its
    // resolved directory, and a link to nothing resolves to the name it holds. False when the
    // directory cannot be resolved. No length of path is too long.
    virtual bool Resolve(const std::string& path, std::string& /*resolved*/, Error& error) {
        return Unsupported("resolve", path, error);
    }
    // Creates path as a new regular file; refused when anything is there already.
    virtual std::unique_ptr<OutputFile> CreateNew(const std::string& path, Error& error) {
        return Unsupported("open", path, error), nullptr;
    }
    // A new regular file without a name, in the directory where path would lie; refused where
    // the file system cannot make one.
    virtual std::unique_ptr<UnnamedFile> CreateUnnamed(const std::string& path, Error& error) {
        return Unsupported("open", path, error), nullptr;
    }
    // Gives the file at from the name to; what is at to is replaced only when replace is
    // true, else the move is refused. The new name is written through to its medium: when
    // that fails, the file may be under either name.
    virtual bool Rename(const std::string& from, const std::string& /*to*/, bool /*replace*/,
                        Error& error) {
        return Unsupported("rename", from, error);
    }
    // Whether the directory dir is the directory root or lies below it, decided by what they
    // are and not by how they are spelled: from dir up through its parents as the system
    // reaches them, and through every mount that shows it (hard links, bind mounts, letter
    // case and drive letters all mislead names). False with error when that cannot be told,
    // which callers take as within.
    virtual bool Within(const std::string& dir, const std::string& /*root*/, bool& /*within*/,
                        Error& error) {
        return Unsupported("open", dir, error);
    }
    // Removes the file at path.
    virtual bool Remove(const std::string& path, Error& error) {
        return Unsupported("unlink", path, error);
    }
    // The process's current directory and drive, which the directory picker moves.
    virtual bool CurrentDir(std::string& dir, Error& error) { return GetCurrentDir(dir, error); }
    virtual bool ChangeDir(const std::string& dir, Error& error) {
        return SetCurrentDir(dir, error);
    }
    virtual bool ChangeDrive(int drive, Error& error) { return SetCurrentDrive(drive, error); }

protected:
    static bool Unsupported(const char* call, const std::string& path, Error& error) {
        error = {-1, call, path};
        return false;
    }
    // Listings call it every so many entries.
    void Pulse() const {
        if (pulse_ && std::this_thread::get_id() == pulseThread_)
            pulse_();
    }

private:
    std::function<void()> pulse_;
    std::thread::id pulseThread_;
};

// The operating system's own file system.
FileSystem& RealFileSystem();

// The listing of dir; one that runs out of memory is one that could not be had (false, and
// nothing listed).
bool ListOrNothing(FileSystem& fs, const std::string& dir, std::vector<DirEntry>& entries);

// The directory that a file named path is made in, as the system reaches it: path without
// its last name. False when path names no file (it is empty, or ends in a separator, "." or
// "..").
bool ReceivingDir(const std::string& path, std::string& dir);

// Whether a file named path would lie in the tree root: FileSystem::Within asked of the
// directory it is made in. False with error when that cannot be told.
bool FileWithin(FileSystem& fs, const std::string& path, const std::string& root, bool& within,
                Error& error);

// What a call refused by the program itself, not by the system, gives: "not permitted".
Error Refused(const char* call, const std::string& path);
// What asking to write what is not a regular file gives: "not supported".
Error NotAFile(const char* call, const std::string& path);

// Whether a new file may be given the name path: nothing is there, or a regular file or a
// link, which lose the name. A directory, FIFO, socket or device is refused, unopened.
bool Replaceable(FileSystem& fs, const std::string& path, Error& error);

}  // namespace platform
