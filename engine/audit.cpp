// The audit of a medium against a checksum list: the files it lists read from the medium, with
// the reads in flight of a check, and hashed as they come.
#include "engine/audit.h"

#include <algorithm>

namespace engine {

namespace {

// Listed files handed to the reads in flight at a time.
constexpr size_t kPlanAhead = 256;

const char kUnread[] = "ファイルの読み込みに失敗しました";

}  // namespace

Audit::Audit(AuditSettings settings, platform::FileSystem& fs, Listener& listener)
    : Job(fs, listener, settings.blockBytes, settings.stop, settings.allocate, false),
      settings_(std::move(settings)) {}

Audit::~Audit() = default;

Outcome Audit::Run() {
    for (const AuditTarget& target : settings_.targets)
        totalBytes_ += target.entry ? target.entry->size : 0;
    Add("一覧のファイル数：" + std::to_string(settings_.targets.size()));
    Add("トータルサイズ：" + std::to_string(totalBytes_));
    Add("＜チェックを開始します＞");
    stage_ = std::make_unique<scheduling::ReadAhead>(fs_, blockBytes_);
    bool finished = ReadAll();
    stage_.reset();
    Close(true, false, !finished, "一覧にあるすべてのファイルの内容が一致しました。");
    return outcome_;
}

// Whether every listed file was read.
bool Audit::ReadAll() {
    const std::vector<AuditTarget>& targets = settings_.targets;
    size_t plannedTo = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        if (StopRequested())
            return false;
        if (i >= plannedTo)
            plannedTo = Plan(i);
        if (!ReadTarget(targets[i]))
            return false;
        SetMeter(Meter::kTotal, CalcPercent(doneBytes_, totalBytes_));
    }
    return true;
}

// The listed files from `from` on are read ahead; the index of the first that is not.
size_t Audit::Plan(size_t from) {
    const std::vector<AuditTarget>& targets = settings_.targets;
    std::vector<scheduling::ReadAhead::Planned> files;
    size_t to = std::min(targets.size(), from + kPlanAhead);
    for (size_t i = from; i < to; ++i) {
        const std::optional<platform::DirEntry>& entry = targets[i].entry;
        // As in a check: a file of several blocks gains nothing from its first read early.
        if (entry && entry->isRegular && entry->size <= blockBytes_)
            files.push_back({targets[i].io, true, entry->size});
    }
    stage_->Plan(std::move(files));
    return to;
}

// Whether the audit goes on after this file.
bool Audit::ReadTarget(const AuditTarget& target) {
    ++files_;
    AddPath("File [", target.shown, "]", Kind(LineKind::kFile));
    uint64_t size = target.entry ? target.entry->size : 0;
    SetMeter(Meter::kFile, 0);
    if (!target.entry && !fs_.Exists(target.io)) {
        Finding("[", target.shown, "]：コピー先に存在しません", size,
                Found(FindingKind::kMissing, 0));
        return true;
    }
    // A directory, FIFO or device is not what was listed, and reading one could block.
    platform::Error error;
    std::unique_ptr<platform::InputFile> file;
    if (!target.entry || (!target.entry->unreadable && target.entry->isRegular))
        file = OpenFile(target.io, true, error);
    if (!file) {
        Finding("[", target.shown, std::string("]：") + kUnread, size,
                Found(FindingKind::kReadError, 0));
        return true;
    }
    uint64_t done = 0;
    auto onBlock = [&](bool read, const unsigned char*, size_t length) {
        readThroughCache_ = readThroughCache_ || file->ReadThroughCache();
        if (!read) {
            SkipRestOfFile(done, size);
            Finding("[", target.shown, std::string("]：") + kUnread, 0,
                    Found(FindingKind::kReadError, 0));
        }
        return Step{read ? length : 0, read};
    };
    End end = ReadBlocks(*file, size, done, onBlock);
    file.reset();
    platform::Sha256::Digest digest;
    // Its bytes are counted already.
    if (end == End::kEnd && !hash_->Final(digest))
        Finding("[", target.shown, std::string("]：") + kUnread, 0,  // read, but not hashed
                Found(FindingKind::kReadError, 0));
    else if (end == End::kEnd && digest != target.digest)
        Finding("[", target.shown, "]：ファイルの内容が異なっています", 0,
                Found(FindingKind::kContent, 0));
    return end != End::kStopped;
}

}  // namespace engine
