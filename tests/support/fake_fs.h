// An in-memory file system for tests: a tree the test builds, faults injected on chosen
// paths, and a record of every call made to it.
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace test {

// Paths are split at '/' and at the platform separator; empty parts are dropped, so "a/b",
// "a/b/" and "/a/b" name the same entry. Each call is recorded as "<Call> <path as given>",
// e.g. "List src/", "OpenRead src/f", "Read src/f", and "Close src/f" when a file that was
// opened for reading is closed. Files may be read on two threads at once.
class FakeFileSystem : public platform::FileSystem {
public:
    static constexpr unsigned kAlways = UINT_MAX;

    FakeFileSystem();
    ~FakeFileSystem() override;

    // The tree. Missing parent directories are made; an entry added again is replaced, and
    // keeps its place in its directory's listing. Listings give entries in the order added.
    void AddDir(const std::string& path);
    void AddFile(const std::string& path, const std::string& bytes);
    // size bytes of a 251-byte cycle starting at phase seed, made when read: a file of any
    // size that takes no memory.
    void AddGeneratedFile(const std::string& path, uint64_t size, unsigned seed = 0);
    // Changes one byte of a generated file.
    void SetByte(const std::string& path, uint64_t offset, unsigned char value);
    // Neither a directory nor a regular file: a FIFO, a socket, a device or a dangling link.
    void AddSpecial(const std::string& path);
    // A link or junction to the directory target: listed as a directory with the identity
    // of target, and listing target's entries.
    void AddDirLink(const std::string& path, const std::string& target);
    // The size the listing gives for a file, when it must differ from the bytes it holds.
    void SetListedSize(const std::string& path, uint64_t size);
    // The entry is listed without an identity, and Identify fails on it.
    void HideId(const std::string& path);

    // Faults. Each fails the next `times` calls on the path, which is matched as given,
    // not through links.
    void FailList(const std::string& path, unsigned times = kAlways);
    void FailOpen(const std::string& path, unsigned times = kAlways);
    void FailCreate(const std::string& path, unsigned times = kAlways);
    // The nth Read of the file at path, counted from 1 over all its opens, fails with no
    // bytes placed.
    void FailRead(const std::string& path, unsigned nth);

    // Create on any other path fails the running test: nothing is written unless allowed.
    void AllowCreate(const std::string& path);
    // The bytes of a file made by AddFile or written through Create.
    std::string Content(const std::string& path) const;

    const std::vector<std::string>& Calls() const { return m_calls; }
    // The recorded calls that begin with prefix, e.g. "OpenRead " or "Read src/f".
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    void ClearCalls() { m_calls.clear(); }

    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override;
    std::unique_ptr<platform::InputFile> OpenRead(const std::string& path,
                                                  platform::Error& error) override;
    bool Exists(const std::string& path) override;
    bool Identify(const std::string& path, platform::FileId& id, platform::Error& error) override;
    std::unique_ptr<platform::OutputFile> Create(const std::string& path,
                                                 platform::Error& error) override;

    struct Node;

private:
    friend class FakeInputFile;

    Node& Put(const std::string& path);
    Node* Find(const std::string& key);
    const Node* Find(const std::string& key) const;
    Node* Resolve(const std::string& path, bool followLast);
    bool Fault(std::map<std::string, unsigned>& faults, const std::string& path);
    bool ReadFails(const std::string& key);
    void Record(const char* call, const std::string& path);

    std::map<std::string, std::unique_ptr<Node>> m_nodes;  // by key: the parts joined by '/'
    uint64_t m_nextId = 1;
    std::map<std::string, unsigned> m_failList;
    std::map<std::string, unsigned> m_failOpen;
    std::map<std::string, unsigned> m_failCreate;
    std::mutex m_readMutex;  // the call log and the read counts, which reads on any thread change
    std::map<std::string, std::vector<unsigned>> m_failRead;
    std::map<std::string, unsigned> m_reads;
    std::vector<std::string> m_allowCreate;
    std::vector<std::string> m_calls;
};

}  // namespace test
