// An in-memory file system for tests: a tree the test builds, faults on chosen paths, and a
// record of the calls made to it.
#pragma once

#include <chrono>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace test {

// Paths are split at '/' and at the platform separator, empty parts dropped: "a/b", "a/b/"
// and "/a/b" name the same entry. Each call is recorded as "<Call> <path as given>": "List",
// "OpenRead", "Read", "Close" (of a file opened for reading), "Exists", "Create" (of a new
// file), "Write", "Rename" (its source), "Remove". A node whose id another shares is one
// directory reached two ways (a bind mount) or a hard link; one with hideId has no identity.
// Files may be read, and directories listed, on several threads at once. An open from the
// medium is recorded as "OpenReadFromMedium".
class FakeFileSystem : public platform::FileSystem {
public:
    static constexpr unsigned kAlways = UINT_MAX;
    enum class Op { List, Open, Write, Close, Rename, Flush };

    struct Node {
        enum class Kind { Dir, File, Special, Link } kind = Kind::Dir;
        std::string bytes;                   // a file's content
        std::string target;                  // a link's, to a directory
        std::optional<uint64_t> listedSize;  // when the listing says otherwise
        std::optional<uint64_t> badAt;       // a read of this byte, or from it, fails: a bad sector
        bool hideId = false;                 // listed, and opened, without identity
        bool unreadable = false;             // listed, but cannot be examined
        bool notLocal = false;               // held elsewhere, fetched when read
        uint64_t id = 0;                     // may be shared: identities not unique
        uint64_t volume = 1;                 // with id, an open file's: a clone's differs
        std::vector<std::string> children;   // in listing order
    };

    FakeFileSystem() { m_nodes[""] = std::make_unique<Node>(); }

    // The entry at path, made with its missing parents, of kind when given; listings keep the
    // order of making.
    Node& Put(const std::string& path, std::optional<Node::Kind> kind = {});
    void AddDir(const std::string& path) { Put(path, Node::Kind::Dir); }
    void AddFile(const std::string& path, const std::string& bytes) {
        Put(path, Node::Kind::File).bytes = bytes;
    }
    void AddSpecial(const std::string& path) { Put(path, Node::Kind::Special); }
    void AddLink(const std::string& path, const std::string& target) {
        Put(path, Node::Kind::Link).target = target;
    }

    // The next `times` calls of op on the path fail (the path matched as given, not through
    // links). Write, Flush and Close fail files made by Create; Flush fails a rename to the
    // path after the move. No file is made unnamed.
    void Fail(Op op, const std::string& path, unsigned times = kAlways) {
        m_faults[{op, path}] = times;
    }
    // Called first in every call, with its record: to wait, raise a stop flag or throw.
    std::function<void(const std::string& call)> onCall;
    bool remote = false;  // every path on a network volume
    // How long opening a file takes: as long as a device's, reads in flight go to threads.
    std::chrono::microseconds openTakes{0};

    std::string Content(const std::string& path) const;  // a file added or created
    std::vector<std::string> Calls(const std::string& prefix = "") const;

    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override;
    std::unique_ptr<platform::InputFile> OpenRead(const std::string& path,
                                                  platform::Error& error) override;
    std::unique_ptr<platform::InputFile> OpenReadFromMedium(const std::string& path,
                                                            platform::Error& error) override;
    bool IsRemote(const std::string&) override { return remote; }
    bool Exists(const std::string& path) override;
    bool KindAt(const std::string& path, platform::PathKind& kind, platform::Error& error) override;
    bool Identify(const std::string& path, platform::FileId& id, platform::Error& error) override;
    bool Resolve(const std::string& path, std::string& resolved, platform::Error& error) override;
    std::unique_ptr<platform::OutputFile> CreateNew(const std::string& path,
                                                    platform::Error& error) override;
    bool Rename(const std::string& from, const std::string& to, bool replace,
                platform::Error& error) override;
    bool Remove(const std::string& path, platform::Error& error) override;
    bool Within(const std::string& dir, const std::string& root, bool& within,
                platform::Error& error) override;

private:
    friend class FakeInput;
    friend class FakeOutput;

    Node* Walk(const std::string& path, bool followLast, std::string* key = nullptr);
    std::unique_ptr<platform::InputFile> Open(const char* call, const std::string& path,
                                              platform::Error& error);
    bool Faulty(Op op, const std::string& path);     // under m_mutex
    bool FaultyNow(Op op, const std::string& path);  // takes it
    void Record(const char* call, const std::string& path);
    void Erase(const std::string& key);  // a file's node and its parent's listing of it
    // Whether id is the node at key's, or that of a node above it or above one sharing its id.
    bool Above(const std::string& key, uint64_t id, std::vector<std::string>& seen);

    std::map<std::string, std::unique_ptr<Node>> m_nodes;  // by key: the parts joined by '/'
    uint64_t m_nextId = 1;
    std::map<std::pair<Op, std::string>, unsigned> m_faults;
    mutable std::mutex m_mutex;  // the calls and created files, touched on any thread
    std::vector<std::string> m_calls;
};

}  // namespace test
