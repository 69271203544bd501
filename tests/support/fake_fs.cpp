#include "tests/support/fake_fs.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/dirs.h"

namespace test {
namespace {

using Kind = FakeFileSystem::Node::Kind;

std::string KeyOf(const std::string& path) {
    std::string key, part;
    for (char c : path + '/') {
        if (c != '/' && c != platform::kSeparator) {
            part += c;
        } else if (part == ".") {
            part.clear();
        } else if (!part.empty()) {
            if (!key.empty())
                key += '/';
            key += part;
            part.clear();
        }
    }
    return key;
}

std::string Join(const std::string& key, const std::string& name) {
    return key.empty() ? name : key + "/" + name;
}

}  // namespace

class FakeInput : public platform::InputFile {
public:
    FakeInput(FakeFileSystem& fs, const FakeFileSystem::Node& node, std::string path)
        : m_fs(fs), m_node(node), m_path(std::move(path)) {}
    ~FakeInput() override { m_fs.Record("Close", m_path); }
    bool NotLocal() const override { return m_node.notLocal; }
    bool Identity(platform::FileIdentity& id) const override {
        id = {{m_node.volume}, {m_node.id}};
        return !m_node.hideId;
    }

    bool Read(void* buf, size_t n, size_t& got, platform::Error& error) override {
        m_fs.Record("Read", m_path);
        uint64_t size = m_node.bytes.size();
        got = static_cast<size_t>(std::min<uint64_t>(n, m_pos < size ? size - m_pos : 0));
        std::optional<uint64_t> bad = m_node.badAt;
        bool fails = bad && *bad >= m_pos && (*bad < m_pos + got || *bad == m_pos);
        if (fails)
            got = static_cast<size_t>(*bad - m_pos);  // what lies before the bad byte
        std::memcpy(buf, m_node.bytes.data() + m_pos, got);
        m_pos += got;
        if (fails)
            error = {EIO, "read", m_path};
        return !fails;
    }

private:
    FakeFileSystem& m_fs;
    const FakeFileSystem::Node& m_node;
    std::string m_path;
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
            error = {ENOSPC, "write", m_path};
            return false;
        }
        m_node.bytes.append(static_cast<const char*>(data), n);
        return true;
    }
    bool Flush(platform::Error& error) override { return Ok(FakeFileSystem::Op::Flush, error); }
    bool Close(platform::Error& error) override { return Ok(FakeFileSystem::Op::Close, error); }

private:
    bool Ok(FakeFileSystem::Op op, platform::Error& error) {
        if (!m_fs.FaultyNow(op, m_path))
            return true;
        error = {EIO, op == FakeFileSystem::Op::Flush ? "fsync" : "close", m_path};
        return false;
    }

    FakeFileSystem& m_fs;
    FakeFileSystem::Node& m_node;
    std::string m_path;
};

FakeFileSystem::Node& FakeFileSystem::Put(const std::string& path, std::optional<Kind> kind) {
    std::string key, rest = KeyOf(path);
    while (!rest.empty()) {
        size_t cut = std::min(rest.find('/'), rest.size());
        std::string child = Join(key, rest.substr(0, cut));
        if (!m_nodes[child]) {
            m_nodes[child] = std::make_unique<Node>();
            m_nodes[child]->id = m_nextId++;
            m_nodes[key]->children.push_back(rest.substr(0, cut));
        }
        key = child;
        rest.erase(0, cut + 1);
    }
    if (kind)
        m_nodes[key]->kind = *kind;
    return *m_nodes[key];
}

std::string FakeFileSystem::Content(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_nodes.find(KeyOf(path));
    return it == m_nodes.end() ? "" : it->second->bytes;
}

std::vector<std::string> FakeFileSystem::Calls(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<std::string> calls;
    std::copy_if(m_calls.begin(), m_calls.end(), std::back_inserter(calls),
                 [&](const std::string& call) { return call.starts_with(prefix); });
    return calls;
}

// Follows links on the way, and the last one too when asked; null when nothing is there.
FakeFileSystem::Node* FakeFileSystem::Walk(const std::string& path, bool followLast,
                                           std::string* key) {
    std::string at, rest = KeyOf(path);
    while (!rest.empty()) {
        size_t cut = std::min(rest.find('/'), rest.size());
        auto it = m_nodes.find(Join(at, rest.substr(0, cut)));
        rest.erase(0, cut + 1);
        for (int hops = 0;
             it != m_nodes.end() && it->second->kind == Kind::Link && (followLast || !rest.empty());
             ++hops)
            it = hops < 40 ? m_nodes.find(KeyOf(it->second->target)) : m_nodes.end();
        if (it == m_nodes.end())
            return nullptr;
        at = it->first;
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

bool FakeFileSystem::FaultyNow(Op op, const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Faulty(op, path);
}

void FakeFileSystem::Record(const char* call, const std::string& path) {
    std::string record = std::string(call) + " " + path;
    if (onCall)
        onCall(record);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(std::move(record));
}

bool FakeFileSystem::List(const std::string& dir, std::vector<platform::DirEntry>& entries,
                          platform::Error& error) {
    Record("List", dir);
    entries.clear();
    std::string key;
    Node* node = Walk(dir, true, &key);
    if (!node || node->kind != Kind::Dir || node->unreadable || FaultyNow(Op::List, dir)) {
        error = {node ? EACCES : ENOENT, "opendir", dir};
        return false;
    }
    for (const std::string& name : node->children) {
        platform::DirEntry entry;
        entry.name = name;
        const Node& own = *m_nodes[Join(key, name)];
        const Node* to = Walk(Join(key, name), true);
        entry.notLocal = own.notLocal;
        entry.unreadable = own.unreadable;
        if (!own.unreadable && to && to->kind != Kind::Special) {
            entry.isDir = to->kind == Kind::Dir;
            entry.isRegular = !entry.isDir;
            entry.size = entry.isRegular ? own.listedSize.value_or(to->bytes.size()) : 0;
            entry.hasId = !own.hideId;
            entry.id = {1, entry.hasId ? to->id : 0};
        }
        entries.push_back(entry);
        Pulse();
    }
    return true;
}

std::unique_ptr<platform::InputFile> FakeFileSystem::OpenRead(const std::string& path,
                                                              platform::Error& error) {
    return Open("OpenRead", path, error);
}

std::unique_ptr<platform::InputFile> FakeFileSystem::OpenReadFromMedium(const std::string& path,
                                                                        platform::Error& error) {
    return Open("OpenReadFromMedium", path, error);
}

std::unique_ptr<platform::InputFile> FakeFileSystem::Open(const char* call, const std::string& path,
                                                          platform::Error& error) {
    Record(call, path);
    std::this_thread::sleep_for(openTakes);
    std::string key;
    Node* node = Walk(path, true, &key);
    if (!node || FaultyNow(Op::Open, path) || node->kind != Kind::File) {
        error = {!node ? ENOENT : node->kind == Kind::Dir ? EISDIR : EACCES, "open", path};
        return nullptr;
    }
    return std::make_unique<FakeInput>(*this, *node, path);
}

bool FakeFileSystem::Exists(const std::string& path) {
    Record("Exists", path);
    return Walk(path, false) != nullptr;
}

bool FakeFileSystem::KindAt(const std::string& path, platform::PathKind& kind, platform::Error&) {
    const Node* node = Walk(path, false);
    using enum platform::PathKind;
    kind = !node                      ? kNothing
           : node->kind == Kind::File ? kRegular
           : node->kind == Kind::Link ? kLink
                                      : kOther;
    return true;
}

bool FakeFileSystem::Identify(const std::string& path, platform::FileId& id,
                              platform::Error& error) {
    Node* node = Walk(path, true);
    if (!node || node->hideId) {
        error = {ENOENT, "stat", path};
        return false;
    }
    id = {1, node->id};
    return true;
}

bool FakeFileSystem::Resolve(const std::string& path, std::string& resolved,
                             platform::Error& error) {
    std::string key;
    if (!Walk(path, true, &key)) {
        error = {ENOENT, "realpath", path};
        return false;
    }
    resolved = "/" + key;
    return true;
}

std::unique_ptr<platform::OutputFile> FakeFileSystem::CreateNew(const std::string& path,
                                                                platform::Error& error) {
    Record("Create", path);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_nodes.count(KeyOf(path))) {
        error = {EEXIST, "open", path};
        return nullptr;
    }
    return std::make_unique<FakeOutput>(*this, Put(path, Kind::File), path);
}

bool FakeFileSystem::Rename(const std::string& from, const std::string& to, bool replace,
                            platform::Error& error) {
    Record("Rename", from);
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_nodes.find(KeyOf(from));
    bool taken = !replace && m_nodes.count(KeyOf(to));
    if (it == m_nodes.end() || taken || Faulty(Op::Rename, from)) {
        error = {it == m_nodes.end() ? ENOENT : taken ? EEXIST : EACCES, "rename", to};
        return false;
    }
    // The node itself moves: a file open for writing goes on writing under its new name.
    std::unique_ptr<Node> moved = std::move(it->second);
    Erase(KeyOf(from));
    Put(to);
    m_nodes[KeyOf(to)] = std::move(moved);
    if (Faulty(Op::Flush, to)) {
        error = {EIO, "fsync", to};
        return false;
    }
    return true;
}

bool FakeFileSystem::Remove(const std::string& path, platform::Error& error) {
    Record("Remove", path);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_nodes.count(KeyOf(path))) {
        error = {ENOENT, "unlink", path};
        return false;
    }
    Erase(KeyOf(path));
    return true;
}

bool FakeFileSystem::Within(const std::string& dir, const std::string& root, bool& within,
                            platform::Error& error) {
    std::string key;
    Node* below = Walk(dir, true, &key);
    Node* above = Walk(root, true);
    if (!below || !above || below->hideId || above->hideId) {
        error = {ENOENT, "open", below && !below->hideId ? root : dir};
        return false;
    }
    std::vector<std::string> seen;
    within = Above(key, above->id, seen);
    return true;
}

bool FakeFileSystem::Above(const std::string& key, uint64_t id, std::vector<std::string>& seen) {
    if (std::find(seen.begin(), seen.end(), key) != seen.end())
        return false;
    seen.push_back(key);
    uint64_t own = m_nodes[key]->id;
    size_t cut = key.rfind('/');
    std::string parent = cut == std::string::npos ? "" : key.substr(0, cut);
    if (own == id || (!key.empty() && Above(parent, id, seen)))
        return true;
    for (const auto& [other, node] : m_nodes)
        if (node->id == own && Above(other, id, seen))
            return true;
    return false;
}

void FakeFileSystem::Erase(const std::string& key) {
    m_nodes.erase(key);
    size_t cut = key.rfind('/');
    std::string parent = cut == std::string::npos ? "" : key.substr(0, cut);
    auto& children = m_nodes[parent]->children;
    children.erase(std::find(children.begin(), children.end(), key.substr(cut + 1)));
}

}  // namespace test
