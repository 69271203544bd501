// Whole check runs, line by line, through the window as a user drives it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "platform/dirs.h"
#include "platform/text.h"
#include "tests/support/forwarding_fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

const char kSep[] = "-------------------------------------------";

class RunTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        root.MakeDir("src");
        root.MakeDir("dst");
        src = root.Path("src");
        dst = root.Path("dst");
        log = root.Path("check.log");
        user->Type(IDC_SRC_PATH, src);
        user->Type(IDC_DST_PATH, dst);
        user->Click(IDC_KEEP_LOG);
        user->Type(IDC_LOG_PATH, log);
    }

    // Presses the start button and confirms.
    void Run() {
        fw::headless::AnswerMessageBox(IDOK);
        user->Click(IDOK);
        EXPECT_FALSE(user->Ended());
    }

    // The log's bytes for these lines.
    static std::string LogOf(const std::vector<std::string>& lines) {
        std::string out;
        for (const std::string& l : lines) {
            for (char c : platform::Utf8ToCp932(l)) {
                if (c == '\n')
                    out += '\r';
                out += c;
            }
            out += "\r\n";
        }
        return out;
    }

    std::vector<std::string> Header(bool namesOnly = false, unsigned blockKB = 1024,
                                    unsigned limit = 1) const {
        std::vector<std::string> h = {
            dlg.m_timeStart.Format("チェック開始時刻：%H時%M分%S秒"),
            kSep,
            "コピー元パス：" + src,
            "コピー先パス：" + dst,
            dlg.m_bKeepLog ? "結果ログファイルを作成します：" + log
                           : "結果ログファイルは作成しません",
        };
        if (namesOnly) {
            h.push_back("ファイル名のみの比較を行います。");
        } else {
            h.push_back("ファイル名と、ファイルの内容の比較を行います");
            h.push_back("ファイルの比較は " + std::to_string(blockKB) + " KByteずつ行います");
        }
        h.push_back("差違が " + std::to_string(limit) + " 個発見されたら中断します");
        h.push_back("以上の条件で比較を行います。");
        h.push_back(kSep);
        h.push_back("コピー元のトータルサイズを取得中...");
        return h;
    }

    std::vector<std::string> Closing(const std::string& verdict) const {
        return {kSep,
                "チェック終了",
                verdict,
                dlg.m_timeEnd.Format("チェック終了時刻：%H時%M分%S秒"),
                dlg.m_spanElapsed.Format("所用時間：%H時%M分%S秒"),
                "File total size：" + std::to_string(dlg.m_nTotalBytes),
                "dir:" + std::to_string(dlg.m_nDirCount) +
                    "  file:" + std::to_string(dlg.m_nFileCount) +
                    "  error:" + std::to_string(dlg.m_nDiffCount)};
    }

    static std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& p : parts)
            all.insert(all.end(), p.begin(), p.end());
        return all;
    }

    TempDir root;
    std::string src, dst, log;
};

TEST_F(RunTest, CleanCopy) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    Run();
    auto expected = Join({Header(),
                          {"トータルサイズ：5", "＜チェックを開始します＞",
                           "Diredtory [ " + src + Sep() + " ]", "File [" + src + Sep() + "a.txt]"},
                          Closing("双方のパスの内容に差違はありませんでした。")});
    EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
    EXPECT_EQ(dlg.m_nFileCount, 1u);
    EXPECT_EQ(dlg.m_nDiffCount, 0u);
    EXPECT_FALSE(dlg.m_bLogOpen);
    EXPECT_EQ(dlg.m_pSrcBuf, nullptr);
    EXPECT_EQ(dlg.m_pDstBuf, nullptr);
    // The window shows the newest entries once the run is over.
    auto shown = Entries();
    EXPECT_EQ(std::vector<std::string>(expected.end() - shown.size(), expected.end()), shown);
    EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), static_cast<int>(shown.size()));
}

TEST_F(RunTest, DifferenceFound) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hellO");
    Run();
    auto expected = Join({Header(),
                          {"トータルサイズ：5", "＜チェックを開始します＞",
                           "Diredtory [ " + src + Sep() + " ]", "File [" + src + Sep() + "a.txt]",
                           "[" + src + Sep() + "a.txt]：ファイルの内容が異なっています"},
                          Closing("差違が発見されました。")});
    EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
}

TEST_F(RunTest, CancelAtTheConfirmationDoesNothing) {
    root.WriteFile("check.log", "previous");
    dlg.AddResult("earlier");
    std::string window = user->Text(IDC_RESULT);
    fw::headless::AnswerMessageBox(IDCANCEL);
    user->Click(IDOK);
    EXPECT_EQ(root.ReadFile("check.log"), "previous");
    EXPECT_EQ(user->Text(IDC_RESULT), window);
    EXPECT_EQ(Entries().size(), 1u);
}

TEST_F(RunTest, SamePathsCompareNothing) {
    root.WriteFile("src/a.txt", "x");
    user->Type(IDC_DST_PATH, src);
    dst = src;
    Run();
    auto expected = Join(
        {Header(),
         {"トータルサイズ：1", "＜チェックを開始します＞", "コピー元とコピー先のパスが同じです。"},
         Closing("比較は実行されませんでした。")});
    EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
}

TEST_F(RunTest, SamePathsRightAfterStartUp) {
    // A second window, started in a small directory, with the start-up defaults.
    std::string start;
    platform::Error error;
    ASSERT_TRUE(platform::GetCurrentDir(start, error));
    ASSERT_TRUE(platform::SetCurrentDir(src, error));
    root.WriteFile("src/a.txt", "abc");
    CCopyCheckDlg second;
    ASSERT_TRUE(second.Create());
    fw::headless::User u(second);
    fw::headless::AnswerMessageBox(IDOK);
    u.Click(IDOK);
    platform::SetCurrentDir(start, error);
    std::vector<std::string> lines = ResultEntries(second);
    ASSERT_EQ(lines.size(), 21u);
    EXPECT_EQ(lines[2], "コピー元パス：" + src);
    EXPECT_EQ(lines[3], "コピー先パス：" + src);
    EXPECT_EQ(lines[4], "結果ログファイルは作成しません");
    EXPECT_EQ(lines[11], "トータルサイズ：3");
    EXPECT_EQ(lines[13], "コピー元とコピー先のパスが同じです。");
    EXPECT_EQ(lines[16], "比較は実行されませんでした。");
    EXPECT_EQ(lines[20], "dir:0  file:0  error:0");
    second.DestroyWindow();
}

TEST_F(RunTest, EmptyTreeAndEmptyFilesNeedNoComparison) {
    root.MakeDir("src/sub");
    root.WriteFile("src/sub/empty", "");
    Run();
    auto expected = Join({Header(),
                          {"トータルサイズ：0", "＜チェックを開始します＞",
                           "ファイルが存在しないため、比較の必要がありません。"},
                          Closing("比較は実行されませんでした。")});
    EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
}

TEST_F(RunTest, NamesOnlyLeavesOutTheBlockLine) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "other contents");
    user->Click(IDC_NAMES_ONLY);
    Run();
    auto expected = Join({Header(true),
                          {"トータルサイズ：5", "＜チェックを開始します＞",
                           "Diredtory [ " + src + Sep() + " ]", "File [" + src + Sep() + "a.txt]"},
                          Closing("双方のパスの内容に差違はありませんでした。")});
    EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
}

TEST_F(RunTest, LimitAndBlockSizeShowInTheHeader) {
    root.WriteFile("src/a", "1");
    root.WriteFile("dst/a", "1");
    user->Type(IDC_DIFF_LIMIT, "5");
    user->Type(IDC_BLOCK_KB, "3");
    Run();
    std::string got = root.ReadFile("check.log");
    auto header = Header(false, 3, 5);
    EXPECT_EQ(got.substr(0, LogOf(header).size()), LogOf(header));
}

platform::AlignedBuffer NoMemory(size_t) {
    return nullptr;
}

int g_allocations = 0;
platform::AlignedBuffer SecondFails(size_t n) {
    if (++g_allocations == 2)
        return nullptr;
    return platform::AllocateAligned(n);
}

TEST_F(RunTest, NoMemorySwitchesToNamesOnly) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "HELLO");
    for (auto allocator : {&NoMemory, &SecondFails}) {
        g_allocations = 0;
        dlg.SetAllocator(allocator);
        if (user->Check(IDC_NAMES_ONLY))
            user->Click(IDC_NAMES_ONLY);
        Run();
        auto expected = Join(
            {{"チェック用のバッファの確保ができませんでした", "名前のみのチェックに切り替えます"},
             Header(true),
             {"トータルサイズ：5", "＜チェックを開始します＞", "Diredtory [ " + src + Sep() + " ]",
              "File [" + src + Sep() + "a.txt]"},
             Closing("双方のパスの内容に差違はありませんでした。")});
        EXPECT_EQ(root.ReadFile("check.log"), LogOf(expected));
        EXPECT_EQ(user->Check(IDC_NAMES_ONLY), 1);
        EXPECT_EQ(dlg.m_bNamesOnly, 1);
        EXPECT_EQ(dlg.m_pSrcBuf, nullptr);
    }
}

TEST_F(RunTest, UnopenableLogShowsOneNoticeAndTheRunGoesOn) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    log = root.Path("missing/check.log");
    user->Type(IDC_LOG_PATH, log);
    fw::headless::AnswerMessageBox(IDOK);
    fw::headless::AnswerMessageBox(IDOK);
    fw::headless::TakeMessageBoxes();
    user->Click(IDOK);
    auto boxes = fw::headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "ログファイルのオープンに失敗しました。");
    EXPECT_EQ(boxes[1].caption, "Notice");
    EXPECT_EQ(boxes[1].type, MB_OK);
    EXPECT_EQ(Entries()[4], "結果ログファイルを作成します：" + log);
    EXPECT_EQ(Entries().back(), "dir:0  file:1  error:0");
    EXPECT_FALSE(dlg.m_bLogOpen);
}

TEST_F(RunTest, KeepLogOffTouchesNothingAtTheLogPath) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    root.WriteFile("check.log", "keep me");
    user->Click(IDC_KEEP_LOG);
    Run();
    EXPECT_EQ(root.ReadFile("check.log"), "keep me");
    EXPECT_EQ(Entries()[4], "結果ログファイルは作成しません");
}

TEST_F(RunTest, SecondRunReplacesTheLog) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hellO");
    Run();
    root.WriteFile("dst/a.txt", "hello");
    Run();
    std::string second = root.ReadFile("check.log");
    EXPECT_EQ(second.find("\x8D\xB7\x88\xE1\x82\xAA\x94\xAD\x8C\xA9"), std::string::npos);
    EXPECT_TRUE(second.ends_with(LogOf({"dir:0  file:1  error:0"})));
    EXPECT_EQ(second.substr(0, LogOf(Header()).size()), LogOf(Header()));
}

// Lists slowly, so that a run takes long enough to let paint through.
class SlowFileSystem : public ForwardingFileSystem {
public:
    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        return real.List(dir, entries, error);
    }
};

std::string WindowTextOf(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& e : entries)
        text += "\r\n" + e;
    return text;
}

// During a run the window is shown from the ring when the run lets paint through, and
// once more at the end.
TEST_F(RunTest, WindowIsRefreshedWhenPaintIsLetThrough) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    SlowFileSystem slow;
    dlg.SetFileSystem(slow);
    int refreshes = 0;
    fw::headless::SetPaintHook([&] {
        ++refreshes;
        EXPECT_EQ(user->Text(IDC_RESULT), WindowTextOf(Entries()));
        EXPECT_EQ(user->FirstVisibleLine(IDC_RESULT), static_cast<int>(Entries().size()));
    });
    Run();
    fw::headless::SetPaintHook(nullptr);
    EXPECT_GE(refreshes, 1);
    EXPECT_EQ(user->Text(IDC_RESULT), WindowTextOf(Entries()));
    // Outside a run every line shows at once.
    dlg.AddResult("after");
    EXPECT_EQ(user->Text(IDC_RESULT), WindowTextOf(Entries()));
}

// Creates files whose writes all fail, as on a full disk.
class FullDiskFileSystem : public ForwardingFileSystem {
public:
    std::unique_ptr<platform::OutputFile> Create(const std::string& path,
                                                 platform::Error& error) override {
        auto file = real.Create(path, error);
        return file ? std::make_unique<Full>(std::move(file)) : nullptr;
    }

private:
    struct Full : platform::OutputFile {
        explicit Full(std::unique_ptr<platform::OutputFile> f) : file(std::move(f)) {}
        bool Write(const void*, size_t, platform::Error& error) override {
            error = {28, "write", "check.log"};
            return false;
        }
        bool Close(platform::Error& error) override { return file->Close(error); }
        std::unique_ptr<platform::OutputFile> file;
    };
};

TEST_F(RunTest, LogThatCouldNotBeWrittenIsReported) {
    root.WriteFile("src/a.txt", "hello");
    root.WriteFile("dst/a.txt", "hello");
    FullDiskFileSystem full;
    dlg.SetFileSystem(full);
    Run();
    auto lines = Entries();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[lines.size() - 6], "双方のパスの内容に差違はありませんでした。");
    EXPECT_EQ(lines[lines.size() - 2], "dir:0  file:1  error:0");
    EXPECT_EQ(lines.back(), "Notice>ログファイルの書き込みに失敗しました：" + log);
    EXPECT_FALSE(dlg.m_bLogOpen);
    // The notice reaches the window only.
    EXPECT_EQ(root.ReadFile("check.log"), "");
}

}  // namespace
