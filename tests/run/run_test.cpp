// Whole check runs through the window as a user drives it, over the in-memory file system:
// every line, the log's bytes, and what the run leaves behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/text.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_fs.h"
#include "tests/support/main_window.h"

namespace test {
namespace {

using Lines = std::vector<std::string>;

// The time lines with their digits masked; in a line or in the log's bytes.
std::string Masked(std::string text) {
    for (const std::string& mark : {std::string("時刻："), platform::Utf8ToCp932("時刻："),
                                    std::string("所用時間："), platform::Utf8ToCp932("所用時間：")})
        for (size_t at = text.find(mark); at != text.npos; at = text.find(mark, at + 1))
            for (size_t i = at + mark.size(); i < text.size() && text[i] != '\r'; ++i)
                text[i] = text[i] >= '0' && text[i] <= '9' ? '#' : text[i];
    return text;
}

// The log's bytes for these lines: code page 932, CR LF, an embedded LF stored as CR LF.
std::string LogOf(const Lines& lines) {
    std::string out;
    for (const std::string& line : lines) {
        for (char c : platform::Utf8ToCp932(line)) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
        out += "\r\n";
    }
    return out;
}

class RunTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        dlg.SetFileSystem(fs);
        dlg.SetResultListener(
            [this](const std::string& line, const auto&) { lines.push_back(Masked(line)); });
        user->Type(IDC_SRC_PATH, "src");
        user->Type(IDC_DST_PATH, "dst");
    }
    void KeepLog(const std::string& path) {
        if (!user->Check(IDC_KEEP_LOG))
            user->Click(IDC_KEEP_LOG);
        user->Type(IDC_LOG_PATH, path);
    }
    // Presses the start button, confirms, and answers every other box with OK or Yes.
    Lines Run(bool closes = false) {
        lines.clear();
        test::TakeMessageBoxes();
        test::SetMessageBoxHandler([](const fw::headless::MessageBoxCall& box) {
            return static_cast<int>(box.type == MB_YESNO ? IDYES : IDOK);
        });
        user->Click(IDOK);
        test::SetMessageBoxHandler(nullptr);
        EXPECT_EQ(user->Ended(), closes);
        EXPECT_FALSE(dlg.m_fpLog.IsOpen());
        return lines;
    }

    FakeFileSystem fs;
    Lines lines;
};

TEST_F(RunTest, CancelAtTheConfirmationDoesNothing) {
    KeepLog("check.log");
    dlg.AddResult("earlier");
    std::string window = user->Text(IDC_RESULT);
    test::AnswerMessageBox(IDCANCEL);
    user->Click(IDOK);
    EXPECT_EQ(fs.Calls(), Lines{});
    EXPECT_EQ(user->Text(IDC_RESULT), window);
}

platform::AlignedBuffer NoMemory(size_t) {
    return nullptr;
}

// The check box follows the switch, so that the next run compares names only too.
TEST_F(RunTest, NoMemorySwitchesToNamesOnlyForGood) {
    fs.AddFile("src/a", "hello");
    fs.AddFile("dst/a", "HELLO");
    dlg.SetAllocator(&NoMemory);
    EXPECT_EQ(Run()[0], "チェック用のバッファの確保ができませんでした");
    EXPECT_TRUE(dlg.LastRun().namesOnlyFallback);
    EXPECT_EQ(user->Check(IDC_NAMES_ONLY), 1);
    dlg.SetAllocator(&engine::AllocateBuffer);
    EXPECT_EQ(Run()[5], "ファイル名のみの比較を行います。");
    EXPECT_FALSE(dlg.LastRun().namesOnlyFallback);
}

struct LogCase {
    const char* name;
    std::string path;
    bool misplaced;  // told after the box, before the header
    bool written;
};

const LogCase kLogCases[] = {
    {"a new file in the source", "src/new.log", true, false},
    {"an existing file of the copy", "dst/a", true, false},
    {"beside the trees, under a name that begins like them", "src2.log", false, true},
    {"a bind mount of the copy", "mnt/copy/a", true, false},
    {"a bind mount of a directory of the copy", "mnt/deep/x.log", true, false},
    {"a directory that cannot be identified", "hidden/x.log", false, false},
    {"a FIFO", "fifo", false, false},
    {"a directory", "mnt", false, false},
    {"a link to a file of the copy, which loses its name", "link.log", false, true},
};

class LogTest : public RunTest, public ::testing::WithParamInterface<LogCase> {};

TEST_P(LogTest, OpensOrIsRefusedWithOneBox) {
    const LogCase& c = GetParam();
    fs.AddFile("src/a", "hello");
    fs.AddFile("dst/a", "hello");
    fs.Put("mnt/copy").id = fs.Put("dst").id;
    fs.Put("mnt/deep").id = fs.Put("dst/deep").id;
    fs.Put("hidden").hideId = true;
    fs.AddSpecial("fifo");
    fs.AddLink("link.log", "dst/a");
    KeepLog(c.path);
    Lines got = Run();
    auto boxes = test::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), c.written ? 1u : 2u);
    EXPECT_EQ(dlg.LastRun().logFailed, !c.written);
    EXPECT_EQ(fs.Content("src/a") + fs.Content("dst/a"), "hellohello");
    EXPECT_EQ(fs.Calls("Create ").size(), c.written ? 1u : 0u);
    Lines notices;
    if (c.misplaced)
        notices = {"Notice>結果ログファイルはコピー元とコピー先の外に作成してください：" + c.path};
    EXPECT_EQ(Lines(got.begin(), got.begin() + notices.size()), notices);
    EXPECT_EQ(got[notices.size() + 4], "結果ログファイルを作成します：" + c.path);
    EXPECT_EQ(got.back(), "dir:0  file:1  error:0");
    if (c.written)
        return;
    EXPECT_EQ(boxes[1].text + boxes[1].caption + std::to_string(boxes[1].type),
              "ログファイルのオープンに失敗しました。Notice" + std::to_string(MB_OK));
}

INSTANTIATE_TEST_SUITE_P(Paths, LogTest, ::testing::ValuesIn(kLogCases),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(RunTest, LogIsReplacedByEachRunAndTouchedOnlyWhenKept) {
    fs.AddFile("src/a", "hello");
    fs.AddDir("dst");
    fs.AddFile("check.log", "keep me");
    Run();
    EXPECT_EQ(fs.Content("check.log"), "keep me");
    KeepLog("check.log");
    Run();
    fs.Fail(FakeFileSystem::Op::List, "src/");
    Run();
    std::string log = fs.Content("check.log");
    EXPECT_EQ(log.find(platform::Utf8ToCp932("差違が発見されました。")), std::string::npos);
    // A line break within a line is stored as a line end of its own.
    EXPECT_NE(log.find(platform::Utf8ToCp932("できませんでした\r\r\nこのディレクトリは")),
              std::string::npos);
}

TEST_F(RunTest, LogThatCouldNotBeWrittenOrClosedIsReportedInTheWindowOnly) {
    fs.AddFile("src/a", "hello");
    fs.AddFile("dst/a", "hello");
    KeepLog("check.log");
    for (auto op : {FakeFileSystem::Op::Write, FakeFileSystem::Op::Close}) {
        fs.Fail(op, "check.log.copycheck-tmp", 1);  // written as made, under that name
        Lines got = Run();
        EXPECT_EQ(got.end()[-2], "dir:0  file:1  error:0");
        EXPECT_EQ(got.back(), "Notice>ログファイルの書き込みに失敗しました：check.log");
        EXPECT_TRUE(dlg.LastRun().logFailed);
    }
}

// The header is in the log before the scan begins and what follows reaches it at least once
// a second, so a run that is killed keeps what it did; the window paints from the ring during
// the scan and inside a listing.
TEST_F(RunTest, LogAndWindowFollowTheRunAsItGoes) {
    fs.AddFile("src/a", "1");
    fs.AddFile("dst/a", "1");
    KeepLog("check.log");
    dlg.SetReadAhead(false);  // the waits on the check's thread
    bool logged = false;      // the lines before the walk's wait, in the log a second later
    fs.onCall = [&](const std::string& call) {
        // The scan's listing, then the walk's first open a second later.
        if (call == "List src/" || call == "OpenReadFromMedium dst/a")
            std::this_thread::sleep_for(std::chrono::milliseconds(call[0] == 'L' ? 120 : 1100));
        if (call == "Read dst/a")
            logged = logged || fs.Content("check.log").find(LogOf({"＜チェックを開始します＞"})) !=
                                   std::string::npos;
    };
    Lines atPaint;  // the window's newest line
    fw::headless::SetPaintHook([&] {
        std::string shown = user->Text(IDC_RESULT);
        atPaint.push_back(shown.erase(0, shown.rfind("\r\n") + 2));
    });
    Run();
    fw::headless::SetPaintHook(nullptr);
    EXPECT_TRUE(logged);
    for (const char* line : {"コピー元のトータルサイズを取得中...", "File [src/a]"})
        EXPECT_NE(std::find(atPaint.begin(), atPaint.end(), line), atPaint.end()) << line;
}

// The engine's own lines and bars, for the window to be held against.
struct Kept : engine::Listener {
    void Line(const std::string& text, const engine::LineInfo&) override {
        lines.push_back(Masked(text));
    }
    void SetMeter(engine::Meter meter, uint64_t percent) override {
        bars[meter == engine::Meter::kFile] = std::min<uint64_t>(percent, 100);
    }
    Lines lines;
    unsigned bars[2] = {0, 0};
};

enum class Act { kNone, kSettings, kEsc, kCloseBox, kEndSession };

struct ActCase {
    const char* name;
    std::string at;  // the call on the check's thread during which the window acts
    Act act;
    std::string counts;  // the last line
};

const ActCase kActs[] = {
    {"nothing", "", Act::kNone, "dir:1  file:43  error:0"},
    {"typing and clicks, which change nothing", "Close dst/a", Act::kSettings,
     "dir:1  file:43  error:0"},
    {"Esc during the size scan", "List src/s/", Act::kEsc, "dir:0  file:0  error:0"},
    {"the close box", "Close dst/a", Act::kCloseBox, "dir:0  file:1  error:0"},
    {"the session's end", "Close dst/a", Act::kEndSession, "dir:0  file:1  error:0"},
};

class ActTest : public RunTest, public ::testing::WithParamInterface<ActCase> {
protected:
    // On the window's thread, while the check waits for released.
    void Do(Act act, std::atomic<bool>& released) {
        fw::EventReply reply;
        if (act == Act::kSettings) {
            user->Type(IDC_DIFF_LIMIT, "7");
            for (int id : {IDC_NAMES_ONLY, IDC_SRC_BROWSE, static_cast<int>(IDOK)})
                user->Click(id);
        }
        if (act == Act::kEsc)
            user->PressEsc();
        if (act == Act::kCloseBox)
            user->CloseBox();
        if (act == Act::kEndSession)
            dlg.OnWndEvent({fw::Msg::QueryEndSession}, reply);
        released = true;
        if (act == Act::kEndSession)
            dlg.OnWndEvent({fw::Msg::EndSession}, reply);
    }
};

// The check on its thread gives the engine's lines, log and bars; a stop asked once ends it
// with the closing lines and a whole log; the settings stay as they were.
TEST_P(ActTest, ShowsWhatTheEngineSaysAndStopsWhereAsked) {
    const ActCase& c = GetParam();
    for (std::string name : {"a", "b", "big", "s/c"})
        for (std::string tree : {"src/", "dst/"})
            fs.AddFile(tree + name, name == "big" ? std::string(3000, 'x') : "1");
    for (int i = 0; i < 39; ++i)
        for (std::string tree : {"src/s/", "dst/s/"})
            fs.AddFile(tree + std::to_string(i), "x");
    KeepLog("check.log");
    user->Type(IDC_BLOCK_KB, "3");
    user->Type(IDC_DIFF_LIMIT, "5");
    dlg.SetReadAhead(false);
    std::atomic<bool> reached{false}, released{false};
    fs.onCall = [&](const std::string& call) {
        if (call == c.at && !reached.exchange(true))
            while (!released)
                std::this_thread::yield();
    };
    std::string caption = user->Text(0);
    bool asked = c.act == Act::kEsc || c.act == Act::kCloseBox;
    fw::headless::SetPaintHook([&] {
        if (reached && !released) {
            Do(c.act, released);
            EXPECT_EQ(user->Text(0) != caption, asked);  // says it is stopping
        }
    });
    Lines got = Run(c.act == Act::kCloseBox);
    fw::headless::SetPaintHook(nullptr);
    fs.onCall = nullptr;
    auto boxes = test::TakeMessageBoxes();
    bool stopped = c.act > Act::kSettings;
    EXPECT_EQ(std::ranges::count(got, "＜チェックは中断されました＞"), stopped ? 1 : 0);
    EXPECT_EQ(got.back(), c.counts);
    EXPECT_EQ(Masked(fs.Content("check.log")), LogOf(got));
    ASSERT_EQ(boxes.size(), asked ? 2u : 1u);
    EXPECT_EQ(boxes.back().text + boxes.back().caption,
              asked ? "チェックを中断しますか？確認" : "ファイルの比較を開始するんですね？確認");
    EXPECT_EQ(user->Text(IDC_DIFF_LIMIT) + std::to_string(user->Check(IDC_NAMES_ONLY)), "50");
    EXPECT_EQ(user->Text(0), caption);
    if (stopped)
        return;
    Kept engineSaid;
    engine::Settings settings;
    settings.source = "src";
    settings.copies = {"dst"};
    settings.blockBytes = 3 * 1024;
    settings.differenceLimit = 5;
    settings.keepLog = true;
    settings.logPath = "check.log";
    engine::Check(settings, fs, engineSaid).Run();
    EXPECT_EQ(got, engineSaid.lines);
    // The bars show what was last set, at most full.
    for (int k : {0, 1})
        EXPECT_EQ(
            std::min(user->PositionsSent(k ? IDC_FILE_PROGRESS : IDC_TOTAL_PROGRESS).back(), 100u),
            engineSaid.bars[k]);
    Lines shown = Entries();
    std::transform(shown.begin(), shown.end(), shown.begin(), Masked);
    EXPECT_EQ(shown, Lines(got.end() - 32, got.end()));
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), 32);
}

INSTANTIATE_TEST_SUITE_P(Points, ActTest, ::testing::ValuesIn(kActs),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace test
