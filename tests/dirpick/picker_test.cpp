// The browse commands of the main window; the picker itself is a conformance test.
#include <gtest/gtest.h>

#include "platform/dirs.h"
#include "tests/support/fake_fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using Log = std::vector<std::string>;

// Each browse touches its own field only, and only when the choice is confirmed; the log's
// proposes check.log and writes nothing. A picker whose first listing fails is cancelled.
TEST_F(MainWindowTest, EachBrowseSetsItsOwnField) {
    TempDir root;
    root.MakeDir("a");
    const std::string a = root.Path("a") + Sep(), log = root.Path("new.log");
    user->Type(IDC_SRC_PATH, root.path());
    user->Type(IDC_DST_PATH, root.path());
    // The button, how the picker is closed on [a] (0: Enter), then the source and destination.
    const std::tuple<int, int, std::string, std::string> browses[] = {
        {IDC_SRC_BROWSE, IDCANCEL, root.path(), root.path()},
        {IDC_SRC_BROWSE, 0, a, root.path()},
        {IDC_DST_BROWSE, IDOK, a, a},
    };
    for (auto [button, close, src, dst] : browses) {
        fw::headless::AnswerNextDialog([close](fw::headless::User& u) {
            u.Select(IDC_DIR_LIST, 2);
            close ? u.Click(close) : u.PressEnter();
        });
        user->Click(button);
        EXPECT_EQ(Log({user->Text(IDC_SRC_PATH), dlg.m_strSrcPath, user->Text(IDC_DST_PATH),
                       dlg.m_strDstPath}),
                  Log({src, src, dst, dst}));
    }
    user->Click(IDC_LOG_BROWSE);  // disabled without a log: no dialog
    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, "other.log");
    for (auto [chosen, field] :
         {std::pair<std::optional<std::string>, std::string>{{}, "other.log"}, {log, log}}) {
        fw::headless::AnswerFileDialog(chosen);
        user->Click(IDC_LOG_BROWSE);
        EXPECT_EQ(user->Text(IDC_LOG_PATH) + " " + dlg.m_strLogPath, field + " " + field);
        auto dialogs = fw::headless::TakeFileDialogs();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ((dialogs[0].open ? "open " : "save ") + dialogs[0].fileName, "save check.log");
    }
    EXPECT_FALSE(platform::RealFileSystem().Exists(log));
    test::FakeFileSystem empty;
    fw::headless::UseFileSystem(&empty);
    fw::headless::AnswerMessageBox(IDOK);
    user->Click(IDC_SRC_BROWSE);  // ends before it is shown: nothing to script
    auto box = fw::headless::TakeMessageBoxes().at(0);
    EXPECT_EQ(box.text + "|" + box.caption, "ディレクトリ情報は正常に読み込めませんでした|エラー");
    EXPECT_EQ(user->Text(IDC_SRC_PATH) + user->Text(IDC_DST_PATH), a + a);
}

}  // namespace
