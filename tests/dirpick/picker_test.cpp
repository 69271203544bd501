// The directory picker and the browse commands, on real temporary directories.
#include <gtest/gtest.h>

#include <set>

#include "dirpick/DirSelectDlg.h"
#include "platform/dirs.h"
#include "tests/support/forwarding_fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using fw::headless::User;

// The real file system, with chosen directories that cannot be entered or listed and a
// drive that cannot be made current.
class PickyFileSystem : public ForwardingFileSystem {
public:
    std::set<std::string> unlistable, unenterable;
    bool drivesFail = false;

    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override {
        std::string d = dir;
        while (d.size() > 1 && d.back() == platform::kSeparator)
            d.pop_back();
        if (unlistable.count(d)) {
            error = {13, "opendir", dir};
            return false;
        }
        return real.List(dir, entries, error);
    }
    bool ChangeDir(const std::string& dir, platform::Error& error) override {
        std::string d = platform::FullPath(dir);
        while (d.size() > 1 && d.back() == platform::kSeparator)
            d.pop_back();
        if (unenterable.count(d)) {
            error = {13, "chdir", dir};
            return false;
        }
        return real.ChangeDir(dir, error);
    }
    bool ChangeDrive(int drive, platform::Error& error) override {
        if (drivesFail) {
            error = {15, "chdrive", ""};
            return false;
        }
        return real.ChangeDrive(drive, error);
    }
};

std::string Cwd() {
    std::string dir;
    platform::Error error;
    platform::GetCurrentDir(dir, error);
    return dir;
}

class PickerTest : public MainWindowTest {
protected:
    void SetUp() override {
        start = Cwd();
        root.MakeDir("work/alpha");
        root.MakeDir("work/Beta");
        root.MakeDir("work/_under");
        root.WriteFile("work/file.txt", "x");
        work = root.Path("work");
        platform::Error error;
        ASSERT_TRUE(platform::SetCurrentDir(work, error));
        MainWindowTest::SetUp();
        dlg.SetFileSystem(fs);
        fw::headless::UseFileSystem(&fs);
        user->Type(IDC_SRC_PATH, "");
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        fw::headless::UseFileSystem(nullptr);
        EXPECT_EQ(Cwd(), work) << "the picker did not put the current directory back";
        platform::Error error;
        platform::SetCurrentDir(start, error);
    }

    // Browses for the source with the picker acted on by `act`.
    void BrowseSource(std::function<void(User&)> act) {
        fw::headless::AnswerNextDialog(std::move(act));
        user->Click(IDC_SRC_BROWSE);
    }

    static int IndexOf(User& u, const std::string& entry) {
        auto items = u.Items(IDC_DIR_LIST);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == entry)
                return static_cast<int>(i);
        ADD_FAILURE() << "no entry " << entry;
        return 0;
    }

    TempDir root;
    PickyFileSystem fs;
    std::string start, work;
    const std::string sep{platform::kSeparator};
};

TEST_F(PickerTest, EmptyFieldOpensOnTheCurrentDirectory) {
    BrowseSource([&](User& u) {
        EXPECT_EQ(u.Items(IDC_DIR_LIST),
                  (std::vector<std::string>{"[.]", "[..]", "[_under]", "[alpha]", "[Beta]"}));
        EXPECT_EQ(u.CurSel(IDC_DIR_LIST), 0);
        EXPECT_EQ(u.Text(IDC_CUR_PATH), work);
        ASSERT_EQ(u.Items(IDC_DRIVE_LIST).size(), platform::Drives().size());
        EXPECT_GE(u.CurSel(IDC_DRIVE_LIST), 0);
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), work);
    EXPECT_EQ(dlg.m_strSrcPath, work);
}

TEST_F(PickerTest, MissingOrFileInitialPathOpensOnTheCurrentDirectory) {
    for (std::string initial : {root.Path("missing"), root.Path("work/file.txt")}) {
        SCOPED_TRACE(initial);
        user->Type(IDC_SRC_PATH, initial);
        BrowseSource([&](User& u) {
            EXPECT_EQ(u.Text(IDC_CUR_PATH), work);
            u.Click(IDCANCEL);
        });
        EXPECT_TRUE(fw::headless::TakeMessageBoxes().empty());
        EXPECT_EQ(user->Text(IDC_SRC_PATH), initial);
        BrowseSource([&](User& u) { u.PressEnter(); });
        EXPECT_EQ(user->Text(IDC_SRC_PATH), work);
    }
}

TEST_F(PickerTest, InitialPathIsWhereThePickerOpens) {
    user->Type(IDC_SRC_PATH, root.Path("work/alpha"));
    BrowseSource([&](User& u) {
        EXPECT_EQ(Cwd(), root.Path("work/alpha"));
        EXPECT_EQ(u.Items(IDC_DIR_LIST), (std::vector<std::string>{"[.]", "[..]"}));
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.Path("work/alpha"));
}

TEST_F(PickerTest, SingleClickReturnsTheSubdirectoryWithASeparator) {
    BrowseSource([&](User& u) {
        u.Select(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        EXPECT_EQ(u.Text(IDC_CUR_PATH), root.Path("work/alpha") + sep);
        EXPECT_EQ(Cwd(), work);  // a selection enters nothing
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.Path("work/alpha") + sep);
}

TEST_F(PickerTest, DoubleClickEntersAndReturnsWithoutASeparator) {
    BrowseSource([&](User& u) {
        u.DoubleClick(IDC_DIR_LIST, IndexOf(u, "[Beta]"));
        EXPECT_EQ(Cwd(), root.Path("work/Beta"));
        EXPECT_EQ(u.CurSel(IDC_DIR_LIST), 0);
        EXPECT_EQ(u.Text(IDC_CUR_PATH), root.Path("work/Beta"));
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.Path("work/Beta"));
}

TEST_F(PickerTest, ParentEntryIsChosenWithoutLeaving) {
    BrowseSource([&](User& u) {
        u.Select(IDC_DIR_LIST, IndexOf(u, "[..]"));
        EXPECT_EQ(u.Text(IDC_CUR_PATH), root.path() + sep);
        EXPECT_EQ(Cwd(), work);
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.path() + sep);
}

TEST_F(PickerTest, DoubleClickOnDotListsTheSameDirectoryAgain) {
    BrowseSource([&](User& u) {
        auto before = u.Items(IDC_DIR_LIST);
        u.Select(IDC_DIR_LIST, 2);
        u.DoubleClick(IDC_DIR_LIST, 0);
        EXPECT_EQ(u.Items(IDC_DIR_LIST), before);
        EXPECT_EQ(u.CurSel(IDC_DIR_LIST), 0);
        EXPECT_EQ(Cwd(), work);
        u.PressEsc();
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "");
}

TEST_F(PickerTest, EnterWithASubdirectorySelectedReturnsIt) {
    BrowseSource([&](User& u) {
        u.Select(IDC_DIR_LIST, IndexOf(u, "[_under]"));
        u.PressEnter();
        EXPECT_TRUE(u.Ended());
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.Path("work/_under") + sep);
}

TEST_F(PickerTest, JumpToRootListsTheRoot) {
    BrowseSource([&](User& u) {
        u.DoubleClick(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        u.Click(IDC_JUMP_ROOT);
        std::string top = Cwd();
        EXPECT_EQ(top.size(), platform::Drives()[0].size());
        auto items = u.Items(IDC_DIR_LIST);
        EXPECT_EQ(items[0], "[.]");
        EXPECT_EQ(std::count(items.begin(), items.end(), "[..]"), 0);
        EXPECT_EQ(u.Text(IDC_CUR_PATH), top);
        u.Click(IDCANCEL);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "");
}

TEST_F(PickerTest, DirectoryThatCannotBeEnteredShowsItsBox) {
    fs.unenterable.insert(root.Path("work/alpha"));
    BrowseSource([&](User& u) {
        fw::headless::AnswerMessageBox(IDOK);
        fw::headless::TakeMessageBoxes();
        u.DoubleClick(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        auto boxes = fw::headless::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "指定ディレクトリは現在使用不可のようです");
        EXPECT_EQ(boxes[0].caption, "エラー");
        EXPECT_EQ(boxes[0].type, MB_OK);
        EXPECT_EQ(Cwd(), work);
        EXPECT_EQ(u.CurSel(IDC_DIR_LIST), 0);
        EXPECT_EQ(u.Text(IDC_CUR_PATH), work);
        u.Click(IDOK);
    });
    EXPECT_EQ(user->Text(IDC_SRC_PATH), work);
}

TEST_F(PickerTest, ListingThatFailsAfterAChangeKeepsThePreviousResult) {
    fs.unlistable.insert(root.Path("work/alpha"));
    BrowseSource([&](User& u) {
        u.DoubleClick(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        EXPECT_EQ(Cwd(), root.Path("work/alpha"));
        auto items = u.Items(IDC_DIR_LIST);
        EXPECT_EQ(std::count(items.begin(), items.end(), "[.]"), 0);
        EXPECT_EQ(u.Text(IDC_CUR_PATH), root.Path("work/alpha") + sep);
        u.Click(IDOK);
    });
    EXPECT_TRUE(fw::headless::TakeMessageBoxes().empty());
    EXPECT_EQ(user->Text(IDC_SRC_PATH), root.Path("work/alpha") + sep);
}

TEST_F(PickerTest, FirstListingThatFailsCancelsThePicker) {
    fs.unlistable.insert(work);
    fw::headless::AnswerMessageBox(IDOK);
    fw::headless::TakeMessageBoxes();
    user->Type(IDC_SRC_PATH, "keep");
    user->Click(IDC_SRC_BROWSE);  // ends before it is shown: nothing to script
    auto boxes = fw::headless::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "ディレクトリ情報は正常に読み込めませんでした");
    EXPECT_EQ(boxes[0].caption, "エラー");
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "keep");
}

TEST_F(PickerTest, DriveThatCannotBeMadeCurrentShowsItsBox) {
    fs.drivesFail = true;
    BrowseSource([&](User& u) {
        fw::headless::AnswerMessageBox(IDOK);
        fw::headless::TakeMessageBoxes();
        u.DoubleClick(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        u.Select(IDC_DRIVE_LIST, 0);
        auto boxes = fw::headless::TakeMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "指定ドライブは現在使用不可のようです");
        EXPECT_EQ(boxes[0].caption, "エラー");
        EXPECT_EQ(Cwd(), root.Path("work/alpha"));
        EXPECT_EQ(u.Text(IDC_CUR_PATH), root.Path("work/alpha"));
        EXPECT_GE(u.CurSel(IDC_DRIVE_LIST), 0);
        u.Click(IDCANCEL);
    });
}

TEST_F(PickerTest, EachBrowseTouchesOnlyItsOwnField) {
    user->Type(IDC_DST_PATH, "dest");
    BrowseSource([&](User& u) { u.Click(IDOK); });
    EXPECT_EQ(user->Text(IDC_DST_PATH), "dest");
    fw::headless::AnswerNextDialog([&](User& u) {
        u.Select(IDC_DIR_LIST, IndexOf(u, "[alpha]"));
        u.Click(IDOK);
    });
    user->Click(IDC_DST_BROWSE);
    EXPECT_EQ(user->Text(IDC_DST_PATH), root.Path("work/alpha") + sep);
    EXPECT_EQ(dlg.m_strDstPath, root.Path("work/alpha") + sep);
    EXPECT_EQ(user->Text(IDC_SRC_PATH), work);
}

TEST_F(PickerTest, LogBrowseAsksForCheckLogAndWritesNothing) {
    EXPECT_FALSE(user->Enabled(IDC_LOG_BROWSE));
    user->Click(IDC_LOG_BROWSE);  // disabled: no dialog
    EXPECT_TRUE(fw::headless::TakeFileDialogs().empty());

    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, "other.log");
    fw::headless::AnswerFileDialog(std::nullopt);
    user->Click(IDC_LOG_BROWSE);
    EXPECT_EQ(user->Text(IDC_LOG_PATH), "other.log");

    std::string chosen = root.Path("chosen.log");
    fw::headless::AnswerFileDialog(chosen);
    user->Click(IDC_LOG_BROWSE);
    EXPECT_EQ(user->Text(IDC_LOG_PATH), chosen);
    EXPECT_EQ(dlg.m_strLogPath, chosen);
    EXPECT_FALSE(platform::RealFileSystem().Exists(chosen));

    auto dialogs = fw::headless::TakeFileDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    for (const auto& d : dialogs) {
        EXPECT_FALSE(d.open);
        EXPECT_EQ(d.fileName, "check.log");
        EXPECT_EQ(d.flags, 0x22806u);
        EXPECT_EQ(d.defExt, "");
        EXPECT_EQ(d.filter, "");
    }
}

}  // namespace
