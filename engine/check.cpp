// A check from its buffers to its counts: the header, the decisions before the walk, and the
// closing lines.
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

// "H時M分S秒", each number of two digits.
std::string HoursMinutesSeconds(int64_t h, int64_t m, int64_t s) {
    auto two = [](int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return two(h) + "時" + two(m) + "分" + two(s) + "秒";
}

std::string TimeOfDay(int64_t seconds) {
    platform::LocalTime t = platform::ToLocal(seconds);
    return HoursMinutesSeconds(t.hour, t.minute, t.second);
}

}  // namespace

std::string SpanText(int64_t seconds) {
    return HoursMinutesSeconds(seconds / 3600 % 24, seconds / 60 % 60, seconds % 60);
}

platform::AlignedBuffer AllocateBuffer(size_t bytes) {
    return platform::AllocateAligned(bytes);
}

Check::Check(Settings settings, platform::FileSystem& fs, Listener& listener)
    : settings_(std::move(settings)), fs_(fs), listener_(listener) {}

Check::~Check() = default;

Outcome Check::Run() {
    fs_.SetPulse([this] { listener_.Pulse(); });
    bool walked = false;
    bool failed = false;
    try {
        walked = CheckTrees();
    } catch (...) {
        failed = true;  // the closing lines must come all the same
    }
    try {
        Close(walked, failed);
    } catch (...) {
        outcome_.interrupted = true;
    }
    Release();
    fs_.SetPulse(nullptr);
    return outcome_;
}

// Without its two buffers a check compares names only.
void Check::TakeBuffers() {
    if (settings_.namesOnly)
        return;
    srcBuffer_ = settings_.allocate(settings_.blockBytes);
    if (srcBuffer_) {
        dstBuffer_ = settings_.allocate(settings_.blockBytes);
        if (!dstBuffer_)
            srcBuffer_.reset();
    }
    if (srcBuffer_)
        return;
    Add("チェック用のバッファの確保ができませんでした");
    Add("名前のみのチェックに切り替えます");
    settings_.namesOnly = true;
    outcome_.namesOnlyFallback = true;
}

// From the buffers to the walk; whether the trees were walked.
bool Check::CheckTrees() {
    TakeBuffers();
    AddHeader();
    ScanTotalSize(settings_.source);
    Add("トータルサイズ：" + std::to_string(totalBytes_));
    Add("＜チェックを開始します＞");

    if (StopRequested())
        return false;  // stopped during the size scan: the walk is not begun
    if (SameDirectory(settings_.source, settings_.destination)) {
        Add("コピー元とコピー先のパスが同じです。");
        return false;
    }
    if (totalBytes_ == 0) {
        Add("ファイルが存在しないため、比較の必要がありません。");
        return false;
    }
    Walk(settings_.source, settings_.destination);
    return true;
}

void Check::AddHeader() {
    startSeconds_ = platform::NowSeconds();
    Add("チェック開始時刻：" + TimeOfDay(startSeconds_));
    Add(kSeparatorLine);
    AddPath("コピー元パス：", settings_.source, "");
    AddPath("コピー先パス：", settings_.destination, "");
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

// The lines after the walk: why it ended early if it did, the verdict, times and counts.
void Check::Close(bool walked, bool failed) {
    outcome_.interrupted = failed || StopRequested();
    if (failed)
        Add("＜エラーのためチェックを中断しました＞");
    else if (outcome_.interrupted)
        Add("＜チェックは中断されました＞");
    Add(kSeparatorLine);
    Add("チェック終了");
    AddNotices();

    outcome_.walked = walked;
    outcome_.differences = differences_;
    if (!walked || (outcome_.interrupted && differences_ == 0))
        Add("比較は実行されませんでした。");
    else if (differences_ == 0)
        Add("双方のパスの内容に差違はありませんでした。");
    else
        Add("差違が発見されました。");

    int64_t end = platform::NowSeconds();
    Add("チェック終了時刻：" + TimeOfDay(end));
    int64_t taken = end < startSeconds_ ? startSeconds_ - end : end - startSeconds_;
    Add("所用時間：" + SpanText(taken));
    Add("File total size：" + std::to_string(totalBytes_));
    Add("dir:" + std::to_string(dirs_) + "  file:" + std::to_string(files_) +
        "  error:" + std::to_string(differences_));
}

// What the verdict cannot say of how the copy was read.
void Check::AddNotices() {
    if (readThroughCache_)
        Add("Notice>コピー先の一部のファイルはOSのキャッシュを経由して読み込まれました");
    if (readRemote_)
        Add("Notice>コピー先はネットワーク経由で読み込まれたため、"
            "サーバーのキャッシュから読み込まれた可能性があります");
    if (fetched_)
        Add("Notice>一部のファイルはローカルディスクになく、読み込むために取得されました"
            "（取得できなかったファイルは読み込みの失敗として報告されます）");
}

void Check::Release() {
    StopReads();
    DropKeptListings();
    srcBuffer_.reset();
    dstBuffer_.reset();
}

void Check::Add(const std::string& text) {
    listener_.Line(text, {});
}

void Check::AddPath(const std::string& before, const std::string& path, const std::string& after,
                    LineKind kind) {
    listener_.Line(before + path + after, {{{before.size(), path.size()}}, kind});
}

}  // namespace engine
