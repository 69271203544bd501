#include "tests/support/fake_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include "platform/dirs.h"

namespace test {

struct FakeFileSystem::Node {
    enum class Kind { Dir, File, Generated, Special, Link };
    Kind kind = Kind::Dir;
    uint64_t id = 0;
    bool hideId = false;
    bool unreadable = false;
    bool notLocal = false;
    std::vector<std::string> children;  // a directory's names, in listing order
    std::string bytes;                  // a file's content; a generated one's size and phase
    uint64_t size = 0;
    unsigned seed = 0;
    std::map<uint64_t, unsigned char> changed;
    std::string target;  // a link's, as a key
    std::optional<uint64_t> listedSize;

    uint64_t Size() const { return kind == Kind::File ? bytes.size() : size; }
};

namespace {

using Kind = FakeFileSystem::Node::Kind;

std::vector<std::string> Parts(const std::string& path) {
    std::vector<std::string> parts(1);
    for (char c : path) {
        if (c == '/' || c == platform::kSeparator) {
            if (!parts.back().empty())
                parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    if (parts.back().empty())
        parts.pop_back();
    return parts;
}

std::string Join(const std::string& key, const std::string& name) {
    return key.empty() ? name : key + "/" + name;
}

platform::Error Failure(int code, const char* call, const std::string& path) {
    return {code, call, path};
}

}  // namespace

class FakeInput : public platform::InputFile {
public:
    FakeInput(FakeFileSystem& fs, const FakeFileSystem::Node& node, std::string key,
              std::string path)
        : m_fs(fs), m_node(node), m_key(std::move(key)), m_path(std::move(path)) {}
    ~FakeInput() override { m_fs.Record("Close", m_path); }

    bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
        m_fs.Record("Read", m_path);
        got = 0;
        if (m_fs.ReadFails(m_key)) {
            error = Failure(EIO, "read", m_path);
            return false;
        }
        uint64_t size = m_node.Size();
        got = static_cast<size_t>(std::min<uint64_t>(n, m_pos < size ? size - m_pos : 0));
        auto* out = static_cast<unsigned char*>(buf);
        if (m_node.kind == Kind::File) {
            std::memcpy(out, m_node.bytes.data() + m_pos, got);
        } else {
            // A whole cycle per copy: gibibytes are generated in a moment.
            static const std::string cycle = [] {
                std::string c(4096 + 251, '\0');
                for (size_t i = 0; i < c.size(); ++i)
                    c[i] = static_cast<char>(i % 251);
                return c;
            }();
            for (size_t at = 0; at < got; at += 4096)
                std::memcpy(out + at, cycle.data() + (m_pos + at + m_node.seed) % 251,
                            std::min<size_t>(4096, got - at));
            for (auto it = m_node.changed.lower_bound(m_pos);
                 it != m_node.changed.end() && it->first < m_pos + got; ++it)
                out[it->first - m_pos] = it->second;
        }
        m_pos += got;
        return true;
    }

private:
    FakeFileSystem& m_fs;
    const FakeFileSystem::Node& m_node;
    std::string m_key, m_path;
    uint64_t m_pos = 0;
};

class FakeOutput : public platform::OutputFile {
public:
    FakeOutput(FakeFileSystem& fs, FakeFileSystem::Node& node, std::string path)
        : m_fs(fs), m_node(node), m_path(std::move(path)) {}

    bool Write(const void* data, size_t n, platform::Error& error) override {
        m_fs.Record("Write", m_path);
        std::lock_guard<std::mutex> lock(m_fs.m_mutex);
        if (m_fs.Faulty(FakeFileSystem::Op::Write, m_path)) {
            error = Failure(ENOSPC, "write", m_path);
            return false;
        }
        m_node.bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Close(platform::Error& error) override {
        std::lock_guard<std::mutex> lock(m_fs.m_mutex);
        if (!m_fs.Faulty(FakeFileSystem::Op::Close, m_path))
            return true;
        error = Failure(EIO, "close", m_path);
        return false;
    }

private:
    FakeFileSystem& m_fs;
    FakeFileSystem::Node& m_node;
    std::string m_path;
};

FakeFileSystem::FakeFileSystem() {
    m_nodes[""] = std::make_unique<Node>();
}
FakeFileSystem::~FakeFileSystem() = default;

FakeFileSystem::Node& FakeFileSystem::Put(const std::string& path) {
    std::string key;
    for (const std::string& part : Parts(path)) {
        std::string child = Join(key, part);
        auto& node = m_nodes[child];
        if (!node) {
            node = std::make_unique<Node>();
            node->id = m_nextId++;
            m_nodes[key]->children.push_back(part);
        }
        key = child;
    }
    return *m_nodes[key];
}

void FakeFileSystem::AddDir(const std::string& path) {
    Put(path).kind = Kind::Dir;
}

void FakeFileSystem::AddFile(const std::string& path, const std::string& bytes) {
    Node& node = Put(path);
    node.kind = Kind::File;
    node.bytes = bytes;
}

void FakeFileSystem::AddGenerated(const std::string& path, uint64_t size, unsigned seed) {
    Node& node = Put(path);
    node.kind = Kind::Generated;
    node.size = size;
    node.seed = seed;
}

void FakeFileSystem::SetByte(const std::string& path, uint64_t offset, unsigned char value) {
    Put(path).changed[offset] = value;
}

void FakeFileSystem::AddSpecial(const std::string& path) {
    Put(path).kind = Kind::Special;
}

void FakeFileSystem::AddLink(const std::string& path, const std::string& target) {
    Node& node = Put(path);
    node.kind = Kind::Link;
    std::string key;
    for (const std::string& part : Parts(target))
        key = Join(key, part);
    node.target = key;
}

void FakeFileSystem::SetListedSize(const std::string& path, uint64_t size) {
    Put(path).listedSize = size;
}
void FakeFileSystem::HideId(const std::string& path) {
    Put(path).hideId = true;
}
void FakeFileSystem::ShareId(const std::string& path, const std::string& with) {
    Put(path).id = Put(with).id;
}
void FakeFileSystem::MarkNotLocal(const std::string& path) {
    Put(path).notLocal = true;
}
void FakeFileSystem::MakeUnreadable(const std::string& path) {
    Put(path).unreadable = true;
}

void FakeFileSystem::Fail(Op op, const std::string& path, unsigned times) {
    m_faults[{op, path}] = times;
}

void FakeFileSystem::FailRead(const std::string& path, unsigned nth) {
    std::string key;
    Walk(path, true, &key);
    m_failRead[key].push_back(nth);
}

std::string FakeFileSystem::Content(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string key;
    for (const std::string& part : Parts(path))
        key = Join(key, part);
    auto it = m_nodes.find(key);
    return it == m_nodes.end() ? "" : it->second->bytes;
}

std::vector<std::string> FakeFileSystem::Calls(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> calls;
    for (const std::string& call : m_calls)
        if (call.starts_with(prefix))
            calls.push_back(call);
    return calls;
}

void FakeFileSystem::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

// Follows links on the way, and the last one too when asked; null when nothing is there.
FakeFileSystem::Node* FakeFileSystem::Walk(const std::string& path, bool followLast,
                                           std::string* key) {
    std::string at;
    std::vector<std::string> parts = Parts(path);
    for (size_t i = 0; i < parts.size(); ++i) {
        auto it = m_nodes.find(Join(at, parts[i]));
        if (it == m_nodes.end())
            return nullptr;
        at = it->first;
        for (int hops = 0; it->second->kind == Kind::Link && (followLast || i + 1 < parts.size());
             ++hops) {
            it = m_nodes.find(it->second->target);
            if (it == m_nodes.end() || hops == 40)
                return nullptr;
            at = it->first;
        }
    }
    if (key)
        *key = at;
    return m_nodes[at].get();
}

bool FakeFileSystem::Faulty(Op op, const std::string& path) {
    auto it = m_faults.find({op, path});
    if (it == m_faults.end() || it->second == 0)
        return false;
    if (it->second != kAlways)
        --it->second;
    return true;
}

bool FakeFileSystem::ReadFails(const std::string& key) {
    std::lock_guard<std::mutex> lock(m_mutex);
    unsigned n = ++m_reads[key];
    const auto& nths = m_failRead[key];
    return std::find(nths.begin(), nths.end(), n) != nths.end();
}

void FakeFileSystem::Record(const char* call, const std::string& path) {
    std::string record = std::string(call) + " " + path;
    if (onCall)
        onCall(record);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::this_thread::get_id() != m_owner)
        ++m_elsewhere;
    m_calls.push_back(std::move(record));
}

bool FakeFileSystem::List(const std::string& dir, std::vector<platform::DirEntry>& entries,
                          platform::Error& error) {
    Record("List", dir);
    entries.clear();
    std::string key;
    Node* node = Walk(dir, true, &key);
    if (!node || node->kind != Kind::Dir || node->unreadable || Faulty(Op::List, dir)) {
        error = Failure(node ? EACCES : ENOENT, "opendir", dir);
        return false;
    }
    for (const std::string& name : node->children) {
        platform::DirEntry entry;
        entry.name = name;
        const Node& own = *m_nodes[Join(key, name)];
        const Node* to = Walk(Join(key, name), true);
        entry.notLocal = own.notLocal;
        if (own.unreadable) {
            entry.unreadable = true;
        } else if (to && to->kind != Kind::Special) {
            entry.isDir = to->kind == Kind::Dir;
            entry.isRegular = !entry.isDir;
            entry.size = entry.isRegular ? own.listedSize.value_or(to->Size()) : 0;
            entry.hasId = !own.hideId;
            if (entry.hasId)
                entry.id = {1, to->id};
        }
        entries.push_back(entry);
        Pulse();
    }
    return true;
}

std::unique_ptr<platform::InputFile> FakeFileSystem::OpenRead(const std::string& path,
                                                              platform::Error& error) {
    Record("OpenRead", path);
    std::string key;
    Node* node = Walk(path, true, &key);
    if (!node || Faulty(Op::Open, path) ||
        (node->kind != Kind::File && node->kind != Kind::Generated)) {
        error = Failure(node ? EACCES : ENOENT, "open", path);
        return nullptr;
    }
    return std::make_unique<FakeInput>(*this, *node, key, path);
}

bool FakeFileSystem::Exists(const std::string& path) {
    Record("Exists", path);
    return Walk(path, false) != nullptr;
}

bool FakeFileSystem::Identify(const std::string& path, platform::FileId& id,
                              platform::Error& error) {
    Node* node = Walk(path, true);
    if (!node || node->hideId) {
        error = Failure(ENOENT, "stat", path);
        return false;
    }
    id = {1, node->id};
    return true;
}

bool FakeFileSystem::Resolve(const std::string& path, std::string& resolved,
                             platform::Error& error) {
    std::string key;
    if (!Walk(path, true, &key)) {
        std::vector<std::string> parts = Parts(path);
        if (parts.empty() || !Walk(path.substr(0, path.rfind(parts.back())), true, &key)) {
            error = Failure(ENOENT, "realpath", path);
            return false;
        }
        key = Join(key, parts.back());
    }
    resolved = "/" + key;
    return true;
}

std::unique_ptr<platform::OutputFile> FakeFileSystem::Create(const std::string& path,
                                                             platform::Error& error) {
    Record("Create", path);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (Faulty(Op::Create, path)) {
        error = Failure(EACCES, "open", path);
        return nullptr;
    }
    Node& node = Put(path);
    node.kind = Kind::File;
    node.bytes.clear();
    return std::make_unique<FakeOutput>(*this, node, path);
}

}  // namespace test
