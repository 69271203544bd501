// The main window on both backends: a run started and confirmed as a person would, the
// result window's text and view, the log's bytes, and closing.
#include <gtest/gtest.h>

#include "app/CopyCheckDlg.h"
#include "platform/text.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

namespace {

class MainWindowConformance : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        user = conformance::MakeDriver(dlg, boxes);
    }
    void TearDown() override {
        user.reset();
        dlg.DestroyWindow();
    }

    CCopyCheckDlg dlg;
    std::vector<std::string> boxes;
    std::unique_ptr<conformance::Driver> user;
};

TEST_F(MainWindowConformance, RunStartedWithTheButton) {
    TempDir root;
    root.WriteFile("src/報告.txt", "contents");
    root.WriteFile("dst/報告.txt", "contentz");
    user->Type(IDC_SRC_PATH, root.Path("src"));
    user->Type(IDC_DST_PATH, root.Path("dst"));
    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, root.Path("check.log"));
    user->AnswerNextMessageBox(IDOK);
    user->Click(IDOK);

    EXPECT_EQ(boxes, (std::vector<std::string>{"BOX ファイルの比較を開始するんですね？"}));
    EXPECT_EQ(dlg.m_nDiffCount, 1u);
    std::string finding =
        std::string("[") + root.Path("src/報告.txt") + "]：ファイルの内容が異なっています";
    std::string text = dlg.GetDlgItemText(IDC_RESULT);
    EXPECT_NE(text.find(std::string("\r\n") + finding + "\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("\r\ndir:0  file:1  error:1"));
    std::string log = root.ReadFile("check.log");
    EXPECT_NE(log.find(platform::Utf8ToCp932(finding) + "\r\n"), std::string::npos);
    EXPECT_TRUE(log.ends_with("dir:0  file:1  error:1\r\n"));
    EXPECT_FALSE(user->Ended());  // a run never closes the window
}

TEST_F(MainWindowConformance, FortyEntriesShowTheNewestThirtyTwo) {
    for (int i = 1; i <= 40; ++i) dlg.AddResult(std::string("entry ") + std::to_string(i));
    std::string expected;
    for (int i = 9; i <= 40; ++i) expected += std::string("\r\nentry ") + std::to_string(i);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_RESULT), expected);
    auto edit = dlg.GetDlgItem<fw::CEdit>(IDC_RESULT);
    EXPECT_EQ(edit.GetLineCount(), 33);
    // The newest entry is visible. Windows and the headless edit make it the first visible
    // line (32); Wine's edit stops once the last line reaches the bottom of the view.
    EXPECT_GE(edit.GetFirstVisibleLine(), 15);
    EXPECT_LE(edit.GetFirstVisibleLine(), 32);
}

TEST_F(MainWindowConformance, EnterInTheResultWindowStartsNothing) {
    dlg.AddResult("line");
    user->Focus(IDC_RESULT);
    user->PressEnter();
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(user->Ended());
}

TEST_F(MainWindowConformance, EnterInAFieldStartsARun) {
    user->Type(IDC_DIFF_LIMIT, "0");
    user->AnswerNextMessageBox(IDCANCEL);
    user->PressEnter();
    // The field was corrected when the confirmation took the focus.
    EXPECT_EQ(boxes, (std::vector<std::string>{"BOX ファイルの比較を開始するんですね？"}));
    EXPECT_EQ(dlg.GetDlgItemText(IDC_DIFF_LIMIT), "1");
    EXPECT_EQ(dlg.m_nDiffLimit, 1u);
    EXPECT_FALSE(user->Ended());
}

TEST_F(MainWindowConformance, CancelledLogBrowseLeavesTheField) {
    user->Click(IDC_KEEP_LOG);
    std::string path = dlg.GetDlgItemText(IDC_LOG_PATH);
    user->CancelNextFileDialog();
    user->Click(IDC_LOG_BROWSE);
    EXPECT_EQ(dlg.GetDlgItemText(IDC_LOG_PATH), path);
    EXPECT_EQ(dlg.m_strLogPath, path);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(user->Ended());
}

TEST_F(MainWindowConformance, EscCloses) {
    user->PressEsc();
    EXPECT_TRUE(user->Ended());
}

}  // namespace
