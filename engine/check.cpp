// A check from its buffers to its counts: the header and the decisions before the walk; the
// closing lines are the job's (job.cpp).
#include "engine/check.h"

#include "platform/clock.h"
#include "platform/dirs.h"

namespace engine {

namespace {

const char kSeparatorLine[] = "-------------------------------------------";

std::string WithSeparator(std::string path) {
    if (path.empty() || path.back() != platform::kSeparator)
        path += platform::kSeparator;
    return path;
}

}  // namespace

Check::Check(Settings settings, platform::FileSystem& fs, Listener& listener)
    : Job(fs, listener, settings.blockBytes, settings.stop, settings.allocate, true),
      settings_(std::move(settings)) {}

Check::~Check() = default;

Outcome Check::Run() {
    fs_.SetPulse([this] { listener_.Pulse(); });
    bool walked = false;
    bool failed = false;
    try {
        walked = CheckTrees();
    } catch (...) {
        failed = true;  // the closing lines must come all the same
        outcome_.why = NotWalked::kFailed;
    }
    try {
        std::vector<CopyCount> counts;
        for (size_t i = 0; i < copies_.size(); ++i)
            counts.push_back({settings_.copies[i], copies_[i].differences});
        Close(walked, failed, failed || StopRequested(),
              "双方のパスの内容に差違はありませんでした。", counts);
    } catch (...) {
        outcome_.interrupted = true;
    }
    Release();
    fs_.SetPulse(nullptr);
    return outcome_;
}

// Without a buffer for the source and one for each copy a check compares names only.
void Check::TakeBuffers() {
    if (settings_.namesOnly)
        return;
    if (TakeFirstBuffer()) {
        bool all = true;
        for (Copy& copy : copies_) {
            copy.buffer = settings_.allocate(settings_.blockBytes);
            all = all && copy.buffer;
        }
        if (all)
            return;
        ring_.clear();
        for (Copy& copy : copies_)
            copy.buffer.reset();
    }
    Add("チェック用のバッファの確保ができませんでした");
    Add("名前のみのチェックに切り替えます");
    settings_.namesOnly = true;
    outcome_.namesOnlyFallback = true;
}

// From the buffers to the walk; whether the trees were walked.
bool Check::CheckTrees() {
    FindRoots();
    TakeBuffers();
    AddHeader();
    ScanTotalSize(settings_.source);
    Add("トータルサイズ：" + std::to_string(totalBytes_));
    Add("＜チェックを開始します＞");

    // Stopped during the size scan, the walk is not begun.
    outcome_.why = NotWalked::kStopped;
    if (StopRequested())
        return false;
    for (const std::string& copy : settings_.copies) {
        if (SameDirectory(settings_.source, copy)) {
            Add("コピー元とコピー先のパスが同じです。");
            outcome_.why = NotWalked::kSameDirectory;
            return false;
        }
    }
    if (totalBytes_ == 0) {
        Add("ファイルが存在しないため、比較の必要がありません。");
        outcome_.why = sourceUnlisted_ ? NotWalked::kSourceUnreadable : NotWalked::kNoFiles;
        return false;
    }
    outcome_.why = NotWalked::kWalked;
    Walk(settings_.source);
    return true;
}

void Check::AddHeader() {
    startSeconds_ = platform::NowSeconds();
    Add("チェック開始時刻：" + TimeOfDay(startSeconds_));
    Add(kSeparatorLine);
    AddPath("コピー元パス：", settings_.source, "");
    for (const std::string& copy : settings_.copies)
        AddPath("コピー先パス：", copy, "");
    if (settings_.keepLog)
        AddPath("結果ログファイルを作成します：", settings_.logPath, "");
    else
        Add("結果ログファイルは作成しません");
    if (settings_.namesOnly) {
        Add("ファイル名のみの比較を行います。");
    } else {
        Add("ファイル名と、ファイルの内容の比較を行います");
        Add("ファイルの比較は " + std::to_string(settings_.blockBytes / 1024) +
            " KByteずつ行います");
    }
    if (settings_.differenceLimit == 0)
        Add("差違がいくつ発見されても中断しません");
    else
        Add("差違が " + std::to_string(settings_.differenceLimit) + " 個発見されたら中断します");
    Add("以上の条件で比較を行います。");
    Add(kSeparatorLine);
    Add("コピー元のトータルサイズを取得中...");
    listener_.HeaderDone();
}

// The same string, or another spelling of the same directory: the same identity and the
// same resolved path.
bool Check::SameDirectory(const std::string& a, const std::string& b) {
    return a == b || SameEntry(WithSeparator(a), WithSeparator(b));
}

void Check::Release() {
    // Files left open by a failure go before the reads in flight that may have opened them.
    for (Copy& copy : copies_)
        copy.file.reset();
    StopReads();
    DropKeptListings();
    ring_.clear();
    for (Copy& copy : copies_)
        copy.buffer.reset();
}

bool Check::LimitReached() const {
    for (size_t copy = 0; copy < copies_.size(); ++copy)
        if (!Reached(copy))
            return false;
    return true;
}

// The copies still compared where those passed over are not.
Check::Copies Check::Compared(const std::vector<bool>& passedOver) const {
    Copies compared;
    for (size_t copy = 0; copy < copies_.size(); ++copy)
        if (!passedOver[copy] && !Reached(copy))
            compared.push_back(copy);
    return compared;
}

void Check::Report(const std::string& before, const std::string& path, const std::string& after,
                   LineInfo info, const Copies& about) {
    info.counted = true;
    AddPath(before, path, after, info);
    if (info.copy != LineInfo::kSource) {
        ++copies_[info.copy].differences;
        ++differences_;
        return;
    }
    for (size_t copy : about)
        ++copies_[copy].differences;
    differences_ += about.size();
}

}  // namespace engine
