// The audit of a medium against a checksum list: the files it lists read from the medium,
// with the reads in flight of a check, and hashed as they come.
#include "cli/audit.h"

#include <algorithm>
#include <unordered_map>

#include "cli/manifest.h"
#include "cli/status.h"
#include "engine/check.h"
#include "platform/dirs.h"
#include "platform/sha256.h"
#include "scheduling/hash_behind.h"
#include "scheduling/read_ahead.h"

namespace cli {

namespace {

const char kSeparatorLine[] = "-------------------------------------------";
// Listed files handed to the reads in flight at a time.
constexpr size_t kPlanAhead = 256;

std::string WithSeparator(std::string path) {
    if (!path.empty() && path.back() != platform::kSeparator && path.back() != '/')
        path += platform::kSeparator;
    return path;
}

// The directory of a path, separator included; empty for a bare name.
std::string DirectoryOf(const std::string& path) {
    size_t cut = path.find_last_of(platform::kSeparator == '\\' ? "\\/" : "/");
    return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// A listed path with this system's separators and without its "." names: below an
// extended-length root the system does not drop them. ".." was refused with the list.
std::string SystemPath(std::string_view listed) {
    std::string path;
    const char* separators = platform::kSeparator == '\\' ? "/\\" : "/";
    for (size_t at = 0; at <= listed.size();) {
        size_t end = std::min(listed.find_first_of(separators, at), listed.size());
        if (std::string_view name = listed.substr(at, end - at); name != ".") {
            if (!path.empty())
                path += platform::kSeparator;
            path += name;
        }
        at = end + 1;
    }
    return path;
}

// A listed file: as shown, as the file system is asked for it, its listed digest, and as its
// directory lists it.
struct Target {
    std::string shown, io;
    platform::Sha256::Digest digest;
    std::optional<platform::DirEntry> entry;
};

// Each listed file's entry, from one listing of each directory; no entry when its directory
// does not list it (it is missing, or its name is spelled otherwise).
void FindEntries(platform::FileSystem& fs, std::vector<Target>& targets) {
    std::unordered_map<std::string, std::unordered_map<std::string, platform::DirEntry>> dirs;
    for (Target& target : targets) {
        size_t cut = target.io.rfind(platform::kSeparator) + 1;
        std::string dir = target.io.substr(0, cut);
        auto [listing, added] = dirs.try_emplace(dir);
        if (added) {
            std::vector<platform::DirEntry> entries;
            platform::Error error;
            if (fs.List(dir, entries, error))
                for (platform::DirEntry& entry : entries)
                    listing->second.emplace(entry.name, std::move(entry));
        }
        auto found = listing->second.find(target.io.substr(cut));
        if (found != listing->second.end())
            target.entry = found->second;
    }
}

class Auditor {
public:
    Auditor(platform::FileSystem& fs, const AuditRequest& request, std::ostream& out,
            std::ostream& err, const Environment& env)
        : fs_(fs), request_(request), out_(out), env_(env) {
        if (env.errIsTerminal)
            progress_.emplace(err, env.columns);
    }

    // Whether it was done to the end.
    bool Run(const std::vector<Target>& targets) {
        for (const Target& target : targets)
            total_ += target.entry ? target.entry->size : 0;
        Say("一覧のファイル数：" + std::to_string(targets.size()));
        Say("トータルサイズ：" + std::to_string(total_));
        Say("＜チェックを開始します＞");
        stage_ = std::make_unique<scheduling::ReadAhead>(fs_, request_.block);
        size_t plannedTo = 0;
        for (size_t i = 0; i < targets.size(); ++i) {
            if (env_.stop && env_.stop->load())
                return false;
            if (stage_ && i >= plannedTo)
                plannedTo = Plan(targets, i);
            if (!Check(targets[i]))
                return false;
        }
        return true;
    }

    void Close(bool finished) {
        if (!finished)
            Say("＜チェックは中断されました＞");
        Say(kSeparatorLine);
        Say("チェック終了");
        if (readThroughCache_)
            Say("Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました");
        if (!finished && errors_ == 0)
            Say("比較は実行されませんでした。");
        else if (errors_ == 0)
            Say("一覧にあるすべてのファイルの内容が一致しました。");
        else
            Say("差違が発見されました。");
        Say("File total size：" + std::to_string(total_));
        Say("file:" + std::to_string(files_) + "  error:" + std::to_string(errors_));
        if (progress_)
            progress_->Erase();
    }

    uint64_t errors() const { return errors_; }

    // Buffers read into in turn, as many as a check keeps for its source, so that reading
    // need not wait for the hash of the block before.
    bool Allocate() {
        while (buffers_.size() < 1 + scheduling::HashBehind::DepthFor(request_.block)) {
            platform::AlignedBuffer buffer = platform::AllocateAligned(request_.block);
            if (!buffer)
                break;
            buffers_.push_back(std::move(buffer));
        }
        if (buffers_.empty())
            return false;
        hash_ = std::make_unique<scheduling::HashBehind>(buffers_.size() - 1);
        return true;
    }

    void Say(const std::string& line) {
        if (progress_ && env_.outIsTerminal)
            progress_->Erase();
        out_ << line << '\n' << std::flush;
    }

private:
    size_t Plan(const std::vector<Target>& targets, size_t from) {
        std::vector<scheduling::ReadAhead::Planned> files;
        size_t to = std::min(targets.size(), from + kPlanAhead);
        for (size_t i = from; i < to; ++i) {
            const std::optional<platform::DirEntry>& entry = targets[i].entry;
            // As in a check: a file of several blocks gains nothing from its first read early.
            if (entry && entry->isRegular && entry->size <= request_.block)
                files.push_back({targets[i].io, true, entry->size});
        }
        stage_->Plan(std::move(files));
        return to;
    }

    void Finding(const Target& target, const char* what) {
        std::string line(1, '[');  // appended, where "[" + name trips a false warning of GCC 12
        line += Escaped(target.shown);
        line += "]：";
        Say(line + what);
        ++errors_;
    }

    void ShowProgress(const std::string& shown, uint64_t done, uint64_t size) {
        if (progress_)
            progress_->Update(static_cast<unsigned>(engine::CalcPercent(done_, total_)),
                              static_cast<unsigned>(engine::CalcPercent(done, size)), shown);
    }

    // Whether the audit goes on after this file.
    bool Check(const Target& target) {
        ++files_;
        if (!request_.quiet)
            Say("File [" + Escaped(target.shown) + "]");
        uint64_t size = target.entry ? target.entry->size : 0;
        ShowProgress(target.shown, 0, size);
        if (!target.entry && !fs_.Exists(target.io)) {
            Finding(target, "コピー先に存在しません");
            return true;
        }
        // A directory, FIFO or device is not what was listed, and reading one could block.
        if (target.entry && (target.entry->unreadable || !target.entry->isRegular)) {
            Finding(target, "ファイルの読み込みに失敗しました");
            return true;
        }
        platform::Error error;
        std::unique_ptr<platform::InputFile> file = stage_
                                                        ? stage_->Open(target.io, true, error)
                                                        : fs_.OpenReadFromMedium(target.io, error);
        if (!file) {
            Finding(target, "ファイルの読み込みに失敗しました");
            return true;
        }
        hash_->Reset();
        uint64_t done = 0;
        for (size_t turn = 0;; turn = (turn + 1) % buffers_.size()) {
            if (env_.stop && env_.stop->load())
                return false;
            // One buffer is read into while the ones before may still be hashed.
            size_t got = 0;
            bool read = file->Read(buffers_[turn].get(), request_.block, got, error);
            readThroughCache_ = readThroughCache_ || file->ReadThroughCache();
            if (!read) {
                Finding(target, "ファイルの読み込みに失敗しました");
                return true;
            }
            hash_->Add(buffers_[turn].get(), got);
            done += got;
            done_ += got;
            ShowProgress(target.shown, done, size);
            if (got < request_.block)
                break;
        }
        platform::Sha256::Digest digest;
        if (!hash_->Final(digest))
            Finding(target, "ファイルの読み込みに失敗しました");  // read, but not hashed
        else if (digest != target.digest)
            Finding(target, "ファイルの内容が異なっています");
        return true;
    }

    platform::FileSystem& fs_;
    const AuditRequest& request_;
    std::ostream& out_;
    const Environment& env_;
    std::optional<ProgressLine> progress_;
    std::unique_ptr<scheduling::ReadAhead> stage_;
    std::vector<platform::AlignedBuffer> buffers_;
    std::unique_ptr<scheduling::HashBehind>
        hash_;  // after the buffers: it goes first, done with them
    uint64_t total_ = 0;
    uint64_t done_ = 0;
    uint64_t files_ = 0;
    uint64_t errors_ = 0;
    bool readThroughCache_ = false;
};

}  // namespace

int Audit(const AuditRequest& request, std::ostream& out, std::ostream& err,
          const Environment& env) {
    platform::FileSystem& fs = env.fs ? *env.fs : platform::RealFileSystem();
    // Refused whole before anything is read: an audit of part of a list proves little.
    ManifestParser list;
    platform::Error error;
    if (!ReadManifest(fs, request.manifest, list, error)) {
        if (error.failed())
            err << "copycheck-cli: the list cannot be read: " << platform::Describe(error) << '\n';
        else
            err << "copycheck-cli: " << request.manifest << ", line " << list.line() << ": "
                << list.why() << '\n';
        err << std::flush;
        return 2;
    }
    if (list.files().empty()) {
        err << "copycheck-cli: " << request.manifest << " lists no files\n" << std::flush;
        return 2;
    }

    std::string shownDir = WithSeparator(request.dir.value_or(DirectoryOf(request.manifest)));
    std::string ioDir =
        platform::RunRoot(shownDir.empty() ? std::string(".") + platform::kSeparator : shownDir);
    std::vector<Target> targets;
    for (const Listed& file : list.files()) {
        std::string path = SystemPath(file.path);
        targets.push_back({shownDir + path, ioDir + path, file.digest, std::nullopt});
    }
    FindEntries(fs, targets);

    Auditor auditor(fs, request, out, err, env);
    if (!auditor.Allocate()) {
        err << "copycheck-cli: no memory for the audit\n" << std::flush;
        return 2;
    }
    auditor.Say("チェックサム一覧：" + Escaped(request.manifest));
    auditor.Say("ディレクトリ：" + Escaped(shownDir.empty() ? "." : shownDir));
    bool finished = auditor.Run(targets);
    auditor.Close(finished);
    if (!(out << std::flush)) {
        err << "copycheck-cli: standard output could not be written\n" << std::flush;
        return 2;
    }
    return !finished ? 2 : auditor.errors() > 0 ? 1 : 0;
}

}  // namespace cli
