// The browse commands of the main window; the picker itself is a conformance test.
#include <gtest/gtest.h>

#include "platform/dirs.h"
#include "tests/support/fake_fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using fw::headless::User;
using Log = std::vector<std::string>;

// Each browse touches its own field only, and only when the choice is confirmed.
TEST_F(MainWindowTest, BrowseSetsItsOwnField) {
    TempDir root;
    root.MakeDir("a");
    const std::string a = root.Path("a") + Sep();
    user->Type(IDC_SRC_PATH, root.path());
    user->Type(IDC_DST_PATH, root.path());
    // The button, how the picker is closed on [a] (0: Enter), then the source and destination.
    const std::tuple<int, int, std::string, std::string> browses[] = {
        {IDC_SRC_BROWSE, IDCANCEL, root.path(), root.path()},
        {IDC_SRC_BROWSE, 0, a, root.path()},
        {IDC_DST_BROWSE, IDOK, a, a},
    };
    for (auto [button, close, src, dst] : browses) {
        fw::headless::AnswerNextDialog([close](User& u) {
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
    for (auto chosen : {std::optional<std::string>(), std::optional(root.Path("new.log"))}) {
        fw::headless::AnswerFileDialog(chosen);
        user->Click(IDC_LOG_BROWSE);
        EXPECT_EQ(user->Text(IDC_LOG_PATH) + " " + dlg.m_strLogPath,
                  chosen.value_or("other.log") + " " + chosen.value_or("other.log"));
        auto dialogs = fw::headless::TakeFileDialogs();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_EQ((dialogs[0].open ? "open " : "save ") + dialogs[0].fileName, "save check.log");
    }
    EXPECT_FALSE(platform::RealFileSystem().Exists(root.Path("new.log")));
    EXPECT_EQ(user->Text(IDC_SRC_PATH) + user->Text(IDC_DST_PATH), a + a);
}

TEST_F(MainWindowTest, AFirstListingThatFailsCancelsThePicker) {
    test::FakeFileSystem empty;
    fw::headless::UseFileSystem(&empty);
    fw::headless::AnswerMessageBox(IDOK);
    user->Type(IDC_SRC_PATH, "keep");
    user->Click(IDC_SRC_BROWSE);  // ends before it is shown: nothing to script
    auto boxes = fw::headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text + "|" + boxes[0].caption,
              "ディレクトリ情報は正常に読み込めませんでした|エラー");
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "keep");
}

}  // namespace
