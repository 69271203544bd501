// Windows only: names as listed, files held elsewhere, and code page 932 against Windows.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/CopyCheckDlg.h"
#include "framework/win32/win32.h"
#include "platform/dirs.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

#include <windows.h>

namespace platform {
namespace {

// Names the rules of plain paths would change, made through the extended-length form; a
// root typed in the device form "\\.\" is one too.
TEST(RunRoot, NamesAreUsedExactlyAsListed) {
    TempDir temp;
    const std::string root = RunRoot(temp.path());
    EXPECT_EQ(RunRoot("\\\\.\\" + temp.path() + "\\x.\\..\\"), root);
    const char* names[] = {"foo.", "foo ", "nul", "con.txt", "aux.c", "plain"};
    for (const std::string name : names)
        temp.WriteFile(name, name);
    std::vector<DirEntry> entries;
    Error error;
    ASSERT_TRUE(RealFileSystem().List(root, entries, error)) << Describe(error);
    EXPECT_EQ(entries.size(), std::size(names));
    for (const DirEntry& entry : entries) {
        auto file = RealFileSystem().OpenRead(root + entry.name, error);
        std::string bytes(16, '\0');
        size_t got = 0;
        EXPECT_TRUE(file && file->Read(bytes.data(), bytes.size(), got, error)) << entry.name;
        EXPECT_EQ(bytes.substr(0, got), entry.name);
    }
}

// Online-only cloud files and offline storage are fetched to be read; the run says so.
TEST(AttributesNotLocal, RecallAndOfflineOnly) {
    EXPECT_TRUE(AttributesNotLocal(0x00400000));  // recall on data access
    EXPECT_TRUE(AttributesNotLocal(0x00040000));  // recall on open
    EXPECT_TRUE(AttributesNotLocal(FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_FALSE(AttributesNotLocal(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY |
                                    FILE_ATTRIBUTE_SPARSE_FILE | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The log is written in code page 932 as Windows writes it, without best fit.
TEST(Cp932Windows, EveryBmpCharacterMatchesWideCharToMultiByte) {
    int disagreements = 0;
    for (unsigned cp = 0; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;  // lone surrogates are covered by the portable tests
        const wchar_t wc = static_cast<wchar_t>(cp);
        std::string windows(8, '\0');
        BOOL usedDefault = FALSE;
        int length = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &wc, 1, windows.data(),
                                         static_cast<int>(windows.size()), "?", &usedDefault);
        windows = length <= 0 || usedDefault ? "?" : windows.substr(0, length);
        std::string ours = Utf8ToCp932(Utf16ToUtf8(std::u16string(1, char16_t(wc))));
        EXPECT_TRUE(ours == windows || ++disagreements > 10)
            << "U+" << std::hex << cp << ": " << testing::PrintToString(ours) << " "
            << testing::PrintToString(windows);
    }
}

// The window's messages, as its modal loop would take them, until done.
template <class F>
void PumpUntil(HWND dlg, F done) {
    auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done() && std::chrono::steady_clock::now() < giveUp) {
        MSG m;
        if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } else if (!IsDialogMessageW(dlg, &m)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }
    ASSERT_TRUE(done());
}

// A long run leaves the window answering (no "Not Responding" ghost after five seconds);
// Esc asks, and the stop ends the run with its closing lines, the window still open.
TEST(WindowRun, EscStopsALongRunThatNeverStopsAnswering) {
    TempDir temp;
    for (int i = 0; i < 3000; ++i)
        for (const char* side : {"src/", "dst/"})
            temp.WriteFile(side + std::to_string(i), "x");
    CCopyCheckDlg dlg;
    ASSERT_TRUE(dlg.Create());
    HWND hwnd = HWND(fw::win32::WindowHandle(dlg));
    std::vector<std::string> lines;
    std::atomic<int> count{0};
    std::atomic<bool> stopAsked{false};  // the check waits for it halfway, on its own thread
    dlg.SetResultListener([&](const std::string& line, const auto&) {
        lines.push_back(line);
        if (++count == 1500)
            while (!stopAsked)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::vector<std::string> boxes;
    {
        auto user = conformance::MakeUser(dlg);
        user->Type(IDC_SRC_PATH, temp.Path("src"));
        user->Type(IDC_DST_PATH, temp.Path("dst"));
        std::atomic<bool> running{true}, proberDone{false};
        int unanswered = 0;
        std::thread prober([&] {
            while (running) {
                DWORD_PTR result;
                unanswered +=
                    !SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            proberDone = true;
        });
        conformance::AnswerBox(IDOK, boxes);
        user->Click(IDOK);
        PumpUntil(hwnd, [&] { return count == 1500; });
        int caption = GetWindowTextLengthW(hwnd);  // longer while it says it is stopping
        conformance::AnswerBox(IDYES, boxes);
        user->PressEsc();
        PumpUntil(hwnd, [&] { return GetWindowTextLengthW(hwnd) != caption; });
        stopAsked = true;
        PumpUntil(hwnd, [&] { return user->Enabled(IDOK); });
        EXPECT_EQ(GetWindowTextLengthW(hwnd), caption);
        running = false;
        PumpUntil(hwnd, [&] { return proberDone.load(); });  // it may be waiting on the window
        prober.join();
        EXPECT_EQ(unanswered, 0);
        EXPECT_FALSE(user->Ended());
    }
    EXPECT_EQ(boxes, (std::vector<std::string>{"BOX ファイルの比較を開始するんですね？",
                                               "BOX チェックを中断しますか？"}));
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "＜チェックは中断されました＞"), 1);
    EXPECT_TRUE(lines.back().starts_with("dir:0  file:1")) << lines.back();  // of 3000
    dlg.DestroyWindow();
}
}  // namespace
}  // namespace platform
