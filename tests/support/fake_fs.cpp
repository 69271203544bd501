#include "tests/support/fake_fs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/dirs.h"

namespace test {

struct FakeFileSystem::Node {
    enum class Kind { Dir, File, Generated, Special, Link };
    Kind kind = Kind::Dir;
    uint64_t id = 0;
    bool hideId = false;
    std::vector<std::string> children;  // a directory's names, in listing order
    std::string bytes;                  // a file's content
    uint64_t size = 0;                  // a generated file's size, its phase and changes
    unsigned seed = 0;
    std::map<uint64_t, unsigned char> changed;
    std::string target;  // a link's target, as a key
    std::optional<uint64_t> listedSize;

    uint64_t ContentSize() const { return kind == Kind::File ? bytes.size() : size; }
};

namespace {

using Kind = FakeFileSystem::Node::Kind;

constexpr unsigned kCycle = 251;
constexpr size_t kChunk = 64 * 1024;

// Bytes 0..250 repeated, long enough to copy a chunk from any phase.
const unsigned char* CycleTable() {
    static const std::vector<unsigned char> table = [] {
        std::vector<unsigned char> t(kChunk + kCycle);
        for (size_t i = 0; i < t.size(); ++i)
            t[i] = static_cast<unsigned char>(i % kCycle);
        return t;
    }();
    return table.data();
}

std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '/' || c == platform::kSeparator) {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

std::string Join(const std::string& key, const std::string& name) {
    return key.empty() ? name : key + "/" + name;
}

std::string Key(const std::string& path) {
    std::string key;
    for (const std::string& part : Parts(path))
        key = Join(key, part);
    return key;
}

platform::Error Failure(int code, const char* call, const std::string& path) {
    platform::Error error;
    error.code = code;
    error.call = call;
    error.path = path;
    return error;
}

// Links are followed this many times at most, as a system gives up on a loop of links.
constexpr int kMaxLinks = 40;

}  // namespace

class FakeInputFile : public platform::InputFile {
public:
    FakeInputFile(FakeFileSystem& fs, const FakeFileSystem::Node& node, std::string key,
                  std::string path)
        : m_fs(fs), m_node(node), m_key(std::move(key)), m_path(std::move(path)) {}
    ~FakeInputFile() override { m_fs.Record("Close", m_path); }

    bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
        m_fs.Record("Read", m_path);
        got = 0;
        if (m_fs.ReadFails(m_key)) {
            error = Failure(EIO, "read", m_path);
            return false;
        }
        uint64_t size = m_node.ContentSize();
        uint64_t left = m_pos < size ? size - m_pos : 0;
        got = static_cast<size_t>(std::min<uint64_t>(n, left));
        auto* out = static_cast<unsigned char*>(buf);
        if (m_node.kind == Kind::File) {
            std::memcpy(out, m_node.bytes.data() + m_pos, got);
        } else {
            Generate(out, got);
        }
        m_pos += got;
        return true;
    }

private:
    void Generate(unsigned char* out, size_t n) const {
        for (size_t at = 0; at < n; at += kChunk) {
            size_t phase = static_cast<size_t>((m_pos + at + m_node.seed) % kCycle);
            std::memcpy(out + at, CycleTable() + phase, std::min(kChunk, n - at));
        }
        auto end = m_node.changed.lower_bound(m_pos + n);
        for (auto it = m_node.changed.lower_bound(m_pos); it != end; ++it)
            out[it->first - m_pos] = it->second;
    }

    FakeFileSystem& m_fs;
    const FakeFileSystem::Node& m_node;
    std::string m_key;
    std::string m_path;
    uint64_t m_pos = 0;
};

namespace {

class FakeOutputFile : public platform::OutputFile {
public:
    explicit FakeOutputFile(std::string& bytes) : m_bytes(bytes) {}
    bool Write(const void* data, size_t n, platform::Error&) override {
        m_bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Close(platform::Error&) override { return true; }

private:
    std::string& m_bytes;
};

}  // namespace

FakeFileSystem::FakeFileSystem() {
    m_nodes[""] = std::make_unique<Node>();
}

FakeFileSystem::~FakeFileSystem() = default;

FakeFileSystem::Node& FakeFileSystem::Put(const std::string& path) {
    std::string key;
    Node* parent = m_nodes[""].get();
    for (const std::string& part : Parts(path)) {
        if (parent->kind != Kind::Dir)
            ADD_FAILURE() << "not a directory above " << path;
        key = Join(key, part);
        std::unique_ptr<Node>& node = m_nodes[key];
        if (!node) {
            node = std::make_unique<Node>();
            node->id = m_nextId++;
            parent->children.push_back(part);
        }
        parent = node.get();
    }
    return *parent;
}

FakeFileSystem::Node* FakeFileSystem::Find(const std::string& key) {
    auto it = m_nodes.find(key);
    return it == m_nodes.end() ? nullptr : it->second.get();
}

const FakeFileSystem::Node* FakeFileSystem::Find(const std::string& key) const {
    auto it = m_nodes.find(key);
    return it == m_nodes.end() ? nullptr : it->second.get();
}

FakeFileSystem::Node* FakeFileSystem::Resolve(const std::string& path, bool followLast) {
    // Most paths lead through no link: one look-up.
    if (Node* direct = Find(Key(path)); direct && (!followLast || direct->kind != Kind::Link))
        return direct;
    std::vector<std::string> parts = Parts(path);
    std::string key;
    Node* node = Find("");
    int links = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        key = Join(key, parts[i]);
        node = Find(key);
        bool last = i + 1 == parts.size();
        while (node && node->kind == Kind::Link && (!last || followLast)) {
            if (++links > kMaxLinks)
                return nullptr;
            key = node->target;
            node = Find(key);
        }
        if (!node || (!last && node->kind != Kind::Dir))
            return nullptr;
    }
    return node;
}

void FakeFileSystem::AddDir(const std::string& path) {
    Node& node = Put(path);
    node.kind = Kind::Dir;
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& bytes) {
    Node& node = Put(path);
    node.kind = Kind::File;
    node.bytes = bytes;
}

void FakeFileSystem::AddGeneratedFile(const std::string& path, uint64_t size, unsigned seed) {
    Node& node = Put(path);
    node.kind = Kind::Generated;
    node.size = size;
    node.seed = seed;
}

void FakeFileSystem::SetByte(const std::string& path, uint64_t offset, unsigned char value) {
    Node* node = Find(Key(path));
    if (!node || node->kind != Kind::Generated || offset >= node->size) {
        ADD_FAILURE() << "no generated byte " << offset << " in " << path;
        return;
    }
    node->changed[offset] = value;
}

void FakeFileSystem::AddSpecial(const std::string& path) {
    Put(path).kind = Kind::Special;
}

void FakeFileSystem::AddDirLink(const std::string& path, const std::string& target) {
    Node& node = Put(path);
    node.kind = Kind::Link;
    node.target = Key(target);
}

void FakeFileSystem::SetListedSize(const std::string& path, uint64_t size) {
    Node* node = Find(Key(path));
    if (!node) {
        ADD_FAILURE() << "no entry " << path;
        return;
    }
    node->listedSize = size;
}

void FakeFileSystem::HideId(const std::string& path) {
    Node* node = Find(Key(path));
    if (!node) {
        ADD_FAILURE() << "no entry " << path;
        return;
    }
    node->hideId = true;
}

void FakeFileSystem::FailList(const std::string& path, unsigned times) {
    m_failList[Key(path)] = times;
}

void FakeFileSystem::FailOpen(const std::string& path, unsigned times) {
    m_failOpen[Key(path)] = times;
}

void FakeFileSystem::FailCreate(const std::string& path, unsigned times) {
    m_failCreate[Key(path)] = times;
}

void FakeFileSystem::FailRead(const std::string& path, unsigned nth) {
    m_failRead[Key(path)].push_back(nth);
}

void FakeFileSystem::AllowCreate(const std::string& path) {
    m_allowCreate.push_back(Key(path));
}

std::string FakeFileSystem::Content(const std::string& path) const {
    const Node* node = Find(Key(path));
    if (!node || node->kind != Kind::File) {
        ADD_FAILURE() << "no file " << path;
        return "";
    }
    return node->bytes;
}

std::vector<std::string> FakeFileSystem::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> calls;
    for (const std::string& call : m_calls)
        if (call.starts_with(prefix))
            calls.push_back(call);
    return calls;
}

bool FakeFileSystem::Fault(std::map<std::string, unsigned>& faults, const std::string& path) {
    auto it = faults.find(Key(path));
    if (it == faults.end() || it->second == 0)
        return false;
    if (it->second != kAlways)
        --it->second;
    return true;
}

bool FakeFileSystem::ReadFails(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_readMutex);
    unsigned nth = ++m_reads[key];
    auto it = m_failRead.find(key);
    return it != m_failRead.end() &&
           std::find(it->second.begin(), it->second.end(), nth) != it->second.end();
}

void FakeFileSystem::Record(const char* call, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_readMutex);
    m_calls.push_back(std::string(call) + " " + path);
}

bool FakeFileSystem::List(const std::string& dir, std::vector<platform::DirEntry>& entries,
                          platform::Error& error) {
    Record("List", dir);
    entries.clear();
    if (Fault(m_failList, dir)) {
        error = Failure(EACCES, "opendir", dir);
        return false;
    }
    const Node* node = Resolve(dir, true);
    if (!node || node->kind != Kind::Dir) {
        error = Failure(node ? ENOTDIR : ENOENT, "opendir", dir);
        return false;
    }
    for (const std::string& name : node->children) {
        std::string path = dir + platform::kSeparator + name;
        const Node* named = Resolve(path, false);
        const Node* found = Resolve(path, true);
        platform::DirEntry entry;
        entry.name = name;
        if (found) {
            entry.isDir = found->kind == Kind::Dir;
            entry.isRegular = found->kind == Kind::File || found->kind == Kind::Generated;
            if (entry.isRegular) {
                entry.size = named->listedSize.value_or(found->ContentSize());
            }
            entry.hasId = !named->hideId && !found->hideId;
            if (entry.hasId)
                entry.id = {1, found->id};
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

std::unique_ptr<platform::InputFile> FakeFileSystem::OpenRead(const std::string& path,
                                                              platform::Error& error) {
    Record("OpenRead", path);
    if (Fault(m_failOpen, path)) {
        error = Failure(EACCES, "open", path);
        return nullptr;
    }
    const Node* node = Resolve(path, true);
    if (!node || (node->kind != Kind::File && node->kind != Kind::Generated)) {
        error = Failure(!node ? ENOENT : node->kind == Kind::Dir ? EISDIR : EACCES, "open", path);
        return nullptr;
    }
    return std::make_unique<FakeInputFile>(*this, *node, Key(path), path);
}

bool FakeFileSystem::Exists(const std::string& path) {
    Record("Exists", path);
    return Resolve(path, false) != nullptr;
}

bool FakeFileSystem::Identify(const std::string& path, platform::FileId& id,
                              platform::Error& error) {
    Record("Identify", path);
    const Node* named = Resolve(path, false);
    const Node* found = Resolve(path, true);
    if (!found || named->hideId || found->hideId) {
        error = Failure(found ? EIO : ENOENT, "stat", path);
        return false;
    }
    id = {1, found->id};
    return true;
}

std::unique_ptr<platform::OutputFile> FakeFileSystem::Create(const std::string& path,
                                                             platform::Error& error) {
    Record("Create", path);
    if (Fault(m_failCreate, path)) {
        error = Failure(EACCES, "open", path);
        return nullptr;
    }
    if (std::find(m_allowCreate.begin(), m_allowCreate.end(), Key(path)) == m_allowCreate.end()) {
        ADD_FAILURE() << "unexpected Create " << path;
        error = Failure(EACCES, "open", path);
        return nullptr;
    }
    Node& node = Put(path);
    node.kind = Kind::File;
    node.bytes.clear();
    return std::make_unique<FakeOutputFile>(node.bytes);
}

}  // namespace test
