// The main window opened headless, ready for the engine's operations, and what they showed.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CopyCheckDlg.h"
#include "framework/headless/headless.h"
#include "platform/dirs.h"
#include "tests/support/fake_fs.h"

namespace test {

class EngineTest : public ::testing::Test {
protected:
    EngineTest() {
        dlg.Create();
        user = std::make_unique<fw::headless::User>(dlg);
        dlg.m_nDiffLimit = 999;
        dlg.m_bNamesOnly = 0;
        SetBlockKB(1);
        ForgetLines();
    }
    ~EngineTest() override {
        if (dlg.m_bLogOpen)
            dlg.m_fpLog.Close();
        dlg.DestroyWindow();
    }

    void SetBlockKB(unsigned kb) {
        dlg.m_nBlockKB = kb;
        dlg.m_pSrcBuf = platform::AllocateAligned(size_t{kb} * 1024);
        dlg.m_pDstBuf = platform::AllocateAligned(size_t{kb} * 1024);
    }

    // Empties the result window's ring, so that Lines() gives what is added from now on.
    void ForgetLines() {
        for (std::string& slot : dlg.m_strResultLines)
            slot.clear();
        dlg.m_nNextLine = 0;
    }
    // The lines added since ForgetLines, oldest first; the ring tells at most 31 of them.
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        for (const std::string& slot : dlg.m_strResultLines) {
            if (slot.empty())
                break;
            lines.push_back(slot.substr(2));  // the "\r\n" every entry begins with
        }
        if (lines.size() == dlg.m_strResultLines.size()) {
            ADD_FAILURE() << "too many lines for the result window; keep a log instead";
        }
        return lines;
    }

    // Sends every line to a log held in memory, for runs with more lines than the window.
    void KeepLog() {
        m_logFs.AllowCreate("log");
        ASSERT_TRUE(dlg.m_fpLog.Open(m_logFs, "log"));
        dlg.m_bLogOpen = true;
    }
    // The lines of the log so far, in code page 932; the log is closed.
    std::vector<std::string> LoggedLines() {
        dlg.m_fpLog.Close();
        dlg.m_bLogOpen = false;
        std::string text = m_logFs.Content("log");
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }

    // What the run does: the size scan, then the walk.
    void Check(const std::string& src, const std::string& dst) {
        dlg.CheckTotalSize(src);
        dlg.CheckDirectory(src, dst);
    }

    std::vector<unsigned> FileBar() const { return user->PositionsSent(IDC_FILE_PROGRESS); }
    std::vector<unsigned> TotalBar() const { return user->PositionsSent(IDC_TOTAL_PROGRESS); }

    CCopyCheckDlg dlg;
    std::unique_ptr<fw::headless::User> user;
    const std::string S{platform::kSeparator};

private:
    FakeFileSystem m_logFs;
};

// A listing entry for a regular file.
inline platform::DirEntry FileEntry(const std::string& name, uint64_t size) {
    platform::DirEntry entry;
    entry.name = name;
    entry.isRegular = true;
    entry.size = size;
    return entry;
}

}  // namespace test
