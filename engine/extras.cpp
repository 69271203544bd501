// The entries of the copy that the walk did not reach: files and directories only in the copy.
#include <algorithm>
#include <new>
#include <optional>

#include "engine/check.h"
#include "platform/dirs.h"

namespace engine {

namespace {

bool SameLetters(const std::string& a, const char* b) {
    return std::equal(
        a.begin(), a.end(), b, b + std::char_traits<char>::length(b), [](char x, char y) {
            auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
            return lower(x) == lower(y);
        });
}

// What file systems make at the root of a volume by themselves.
bool MadeBySystem(const std::string& name) {
    return SameLetters(name, "System Volume Information") || SameLetters(name, "$RECYCLE.BIN") ||
           name == "lost+found" || name.starts_with(".Trash-");
}

bool Known(const platform::FileId& id) {
    return id.index != 0 || id.indexHigh != 0;
}

}  // namespace

// The identities of the files this run makes in the copy, taken before the walk.
void Check::IdentifyOwnFiles() {
    ownIds_.clear();
    platform::FileId id;
    platform::Error error;
    for (const std::string& path : settings_.ownFiles)
        if (fs_.Identify(path, id, error) && Known(id))
            ownIds_.push_back(id);
}

// The identity of the copy's entry, from its listing or asked for; none when unknown.
platform::FileId Check::IdOf(const platform::DirEntry& entry, const std::string& io) {
    platform::FileId id;
    platform::Error error;
    if (entry.hasId && Known(entry.id))
        return entry.id;
    if (fs_.Identify(io, id, error) && Known(id))
        return id;
    return {};
}

// What the source's names that the copy does not list byte for byte open there.
std::vector<platform::FileId> Check::OpenedUnderOtherNames(
    const std::vector<std::string>& names, const std::vector<platform::DirEntry>& copy,
    const std::string& dstDir) {
    std::vector<std::string> listed;
    for (const platform::DirEntry& entry : copy)
        listed.push_back(entry.name);
    std::sort(listed.begin(), listed.end());
    std::vector<platform::FileId> ids;
    for (const std::string& name : names)
        if (!std::binary_search(listed.begin(), listed.end(), name))
            ids.push_back(IdOf({}, Io(dstDir + name)));
    return ids;
}

// After a directory's own entries: every entry of its copy that no source name (sorted)
// reached is a finding. A name spelt otherwise reaches the entry it opens on a medium that
// ignores letter case, known by identity.
void Check::FindExtras(size_t copy, const std::vector<std::string>& names,
                       const std::string& dstDir) {
    if (Reached(copy))
        return;
    // Names only: the entries a source name reaches, nearly all, need no more.
    std::vector<platform::DirEntry> listed;
    platform::Error error;
    bool got = false;
    try {
        got = fs_.ListNames(Io(dstDir), listed, error);
    } catch (const std::bad_alloc&) {
        got = false;  // as a listing that could not be had
    }
    // A directory the copy lacks has no extras: its files were each found missing.
    if (!got && platform::NotThere(error.code))
        return;
    if (!got) {
        Report("ディレクトリ[", dstDir,
               "]にアクセスできませんでした\r\nこのディレクトリは無視されます",
               Found(FindingKind::kInaccessibleDirectory, copy), {});
        return;
    }
    std::optional<std::vector<platform::FileId>> spelt;
    const bool root = dstDir == copies_[copy].root.shown;
    for (const platform::DirEntry& entry : listed) {
        if (std::binary_search(names.begin(), names.end(), entry.name) ||
            (root && MadeBySystem(entry.name)))
            continue;
        platform::FileId id = IdOf(entry, Io(dstDir + entry.name));
        if (Known(id) && !spelt)
            spelt = OpenedUnderOtherNames(names, listed, dstDir);
        if (Known(id) && (std::find(spelt->begin(), spelt->end(), id) != spelt->end() ||
                          std::find(ownIds_.begin(), ownIds_.end(), id) != ownIds_.end()))
            continue;
        if (Reached(copy))
            return;
        Report("[", dstDir + entry.name + (entry.isDir ? std::string(1, platform::kSeparator) : ""),
               "]：コピー元に存在しません", Found(FindingKind::kExtra, copy), {});
    }
}

}  // namespace engine
