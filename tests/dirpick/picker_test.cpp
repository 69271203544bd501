// The directory picker and the browse commands, on real temporary directories.
#include <gtest/gtest.h>

#include "platform/dirs.h"
#include "tests/support/forwarding_fs.h"
#include "tests/support/main_window.h"
#include "tests/support/tempdir.h"

namespace {

using fw::headless::User;

// The real file system, with a directory that cannot be listed, one that cannot be entered
// (named as the picker names it, with a separator) and drives that cannot be made current.
struct PickyFileSystem : ForwardingFileSystem {
    std::string unlistable, unenterable;
    bool drivesFail = false;

    bool List(const std::string& dir, std::vector<platform::DirEntry>& entries,
              platform::Error& error) override {
        error = {13, "opendir", dir};
        return dir != unlistable && real.List(dir, entries, error);
    }
    bool ChangeDir(const std::string& dir, platform::Error& error) override {
        error = {13, "chdir", dir};
        return dir != unenterable && real.ChangeDir(dir, error);
    }
    bool ChangeDrive(int drive, platform::Error& error) override {
        error = {15, "chdrive", ""};
        return !drivesFail && real.ChangeDrive(drive, error);
    }
};

// The work directory's list: [.], [..], [_under], [alpha], [Beta].
constexpr int kDot = 0, kParent = 1, kUnder = 2, kAlpha = 3, kBeta = 4, kDirs = IDC_DIR_LIST;

class PickerTest : public MainWindowTest {
protected:
    void SetUp() override {
        for (const char* d : {"work/alpha", "work/Beta", "work/_under"})
            root.MakeDir(d);
        root.WriteFile("work/file.txt", "x");
        platform::Error error;
        ASSERT_TRUE(platform::SetCurrentDir(work, error));
        MainWindowTest::SetUp();
        dlg.SetFileSystem(fs);
        fw::headless::UseFileSystem(&fs);
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        EXPECT_EQ(Cwd(), work) << "the picker did not put the current directory back";
        platform::Error error;
        platform::SetCurrentDir(start, error);
    }
    // The message boxes shown since the last call, as "text|caption".
    std::string Boxes() {
        std::string seen;
        for (const auto& box : fw::headless::TakeMessageBoxes())
            seen += box.text + "|" + box.caption;
        return seen;
    }

    std::string start = Cwd();
    TempDir root;
    std::string work = root.Path("work"), alpha = root.Path("work/alpha"), sep = Sep();
    PickyFileSystem fs;
};

TEST_F(PickerTest, BrowseForTheSource) {
    const std::string kDirBox = "指定ディレクトリは現在使用不可のようです|エラー";
    const std::string kDriveBox = "指定ドライブは現在使用不可のようです|エラー";
    const std::string missing = root.Path("missing"), file = root.Path("work/file.txt");
    const std::string beta = root.Path("work/Beta"), under = root.Path("work/_under");
    // clang-format off
    // What the source field holds, what is done in the picker, the box it shows ("text|caption")
    // and, before it closes: its path display, the current directory and the directory list's
    // top entry; then how it is closed (0: Enter) and what the field holds afterwards.
    const std::tuple<const char*, std::string, std::function<void(User&, PickyFileSystem&)>,
                     std::string, std::string, std::string, std::string, int, std::string>
        browses[] = {
        {"empty", "", [](User&, auto&) {}, "", work, work, "[.]", IDOK, work},
        {"missing, cancel", missing, [](User&, auto&) {}, "", work, work, "[.]", IDCANCEL, missing},
        {"missing", missing, [](User&, auto&) {}, "", work, work, "[.]", 0, work},
        {"a file", file, [](User&, auto&) {}, "", work, work, "[.]", IDOK, work},
        {"a directory", alpha, [](User&, auto&) {}, "", alpha, alpha, "[.]", IDOK, alpha},
        {"double click", "", [](User& u, auto&) { u.DoubleClick(kDirs, kBeta); }, "", beta, beta, "[.]", IDOK, beta},
        {"parent", "", [](User& u, auto&) { u.Select(kDirs, kParent); }, "", root.path() + sep, work, "[.]", IDOK, root.path() + sep},
        {"enter [.]", "", [](User& u, auto&) { u.Select(kDirs, kBeta), u.DoubleClick(kDirs, kDot); }, "", work, work, "[.]", IDCANCEL, ""},
        {"Enter", "", [](User& u, auto&) { u.Select(kDirs, kUnder); }, "", under + sep, work, "[.]", 0, under + sep},
        {"to the root, cancel", alpha, [](User& u, auto&) { u.DoubleClick(kDirs, kParent), u.Click(IDC_JUMP_ROOT); }, "", "/", "/", "[.]", IDCANCEL, alpha},
        {"cannot enter", "", [&](User& u, auto& fs) { fs.unenterable = alpha + sep, u.DoubleClick(kDirs, kAlpha); }, kDirBox, work, work, "[.]", IDOK, work},
        {"cannot list", "", [&](User& u, auto& fs) { fs.unlistable = alpha, u.DoubleClick(kDirs, kAlpha); }, "", alpha + sep, alpha, "", IDOK, alpha + sep},
        {"no drive", "", [](User& u, auto& fs) { fs.drivesFail = true, u.DoubleClick(kDirs, kAlpha), u.Select(IDC_DRIVE_LIST, 0); }, kDriveBox, alpha, alpha, "[.]", IDCANCEL, ""},
    };
    // clang-format on
    for (auto& [what, initial, act, box, shown, cwd, top, close, field] : browses) {
        SCOPED_TRACE(what);
        dlg.SetDlgItemText(IDC_SRC_PATH, initial);
        if (!box.empty())
            fw::headless::AnswerMessageBox(IDOK);
        fw::headless::AnswerNextDialog([&](User& u) {
            act(u, fs);
            EXPECT_EQ(u.Text(IDC_CUR_PATH) + " " + Cwd(), shown + " " + cwd);
            EXPECT_EQ(u.Items(kDirs).empty() ? "" : u.Items(kDirs)[0], top);
            EXPECT_GE(u.CurSel(IDC_DRIVE_LIST), 0);
            close ? u.Click(close) : u.PressEnter();
        });
        user->Click(IDC_SRC_BROWSE);
        EXPECT_EQ(Boxes(), box);
        EXPECT_EQ(user->Text(IDC_SRC_PATH) + " " + dlg.m_strSrcPath, field + " " + field);
        fs.unlistable = fs.unenterable = "", fs.drivesFail = false;
    }
}

TEST_F(PickerTest, AFirstListingThatFailsCancelsThePicker) {
    fs.unlistable = work;
    fw::headless::AnswerMessageBox(IDOK);
    user->Type(IDC_SRC_PATH, "keep");
    user->Click(IDC_SRC_BROWSE);  // ends before it is shown: nothing to script
    EXPECT_EQ(Boxes(), "ディレクトリ情報は正常に読み込めませんでした|エラー");
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "keep");
}

// Each browse touches its own field only.
TEST_F(PickerTest, DestinationAndLogBrowse) {
    user->Type(IDC_SRC_PATH, "source");
    fw::headless::AnswerNextDialog([](User& u) { u.Select(kDirs, kAlpha), u.Click(IDOK); });
    user->Click(IDC_DST_BROWSE);
    EXPECT_EQ(user->Text(IDC_DST_PATH) + " " + dlg.m_strDstPath, alpha + sep + " " + alpha + sep);
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
    EXPECT_EQ(user->Text(IDC_SRC_PATH), "source");
}

}  // namespace
