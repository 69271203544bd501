// The directory picker on both backends: the system's own directory lists under Wine and
// the headless backend's lists must hold the same entries in the same order.
#include <gtest/gtest.h>

#include "dirpick/DirSelectDlg.h"
#include "platform/dirs.h"
#include "res/resource.h"
#include "tests/conformance/driver.h"
#include "tests/support/tempdir.h"

namespace {

std::string Cwd() {
    std::string dir;
    platform::Error error;
    platform::GetCurrentDir(dir, error);
    return dir;
}

std::vector<std::string> Items(fw::CDialog& dlg, int id) {
    auto list = dlg.GetDlgItem<fw::CListBox>(id);
    std::vector<std::string> items;
    for (int i = 0; i < list.GetCount(); ++i) items.push_back(list.GetText(i));
    return items;
}

class PickerConformance : public ::testing::Test {
protected:
    void SetUp() override {
        start = Cwd();
        for (const char* d : {"beta", "Alpha", "_under", "c.d", "9lives"}) root.MakeDir(d);
        root.WriteFile("file.txt", "not a directory");
        picker.m_strInitPath = root.path();
        ASSERT_TRUE(picker.Create());
        user = conformance::MakeDriver(picker, boxes);
    }
    void TearDown() override {
        user.reset();
        picker.DestroyWindow();
        EXPECT_EQ(Cwd(), start);
        platform::Error error;
        platform::SetCurrentDir(start, error);
    }

    TempDir root;
    std::string start;
    CDirSelectDlg picker;
    std::vector<std::string> boxes;
    std::unique_ptr<conformance::Driver> user;
};

TEST_F(PickerConformance, ListsTheDirectoryAndTheDrives) {
    EXPECT_EQ(Items(picker, IDC_DIR_LIST),
              (std::vector<std::string>{"[.]", "[..]", "[_under]", "[9lives]", "[Alpha]", "[beta]",
                                        "[c.d]"}));
    EXPECT_EQ(picker.GetDlgItem<fw::CListBox>(IDC_DIR_LIST).GetCurSel(), 0);
    EXPECT_EQ(picker.GetDlgItemText(IDC_CUR_PATH), root.path());
    EXPECT_EQ(picker.m_strSelPath, root.path());

    auto drives = Items(picker, IDC_DRIVE_LIST);
    ASSERT_EQ(drives.size(), platform::Drives().size());
    for (const std::string& d : drives) {
        ASSERT_EQ(d.size(), 5u) << d;
        EXPECT_EQ(d.substr(0, 2), "[-");
        EXPECT_EQ(d.substr(3), "-]");
    }
    int current = picker.GetDlgItem<fw::CListBox>(IDC_DRIVE_LIST).GetCurSel();
    ASSERT_GE(current, 0);
    EXPECT_EQ(drives[current][2], static_cast<char>(std::tolower(root.path()[0])));
    user->PressEsc();
}

TEST_F(PickerConformance, SelectingAndEnteringADirectory) {
    user->Select(IDC_DIR_LIST, 4);  // [Alpha]
    std::string alpha = root.Path("Alpha");
    EXPECT_EQ(picker.m_strSelPath, alpha + Sep());
    EXPECT_EQ(Cwd(), root.path());

    user->DoubleClick(IDC_DIR_LIST, 4);
    EXPECT_EQ(Cwd(), alpha);
    EXPECT_EQ(Items(picker, IDC_DIR_LIST), (std::vector<std::string>{"[.]", "[..]"}));
    EXPECT_EQ(picker.GetDlgItemText(IDC_CUR_PATH), alpha);

    user->Select(IDC_DIR_LIST, 1);  // [..]
    EXPECT_EQ(picker.m_strSelPath, root.path() + Sep());
    user->Click(IDOK);
    EXPECT_EQ(picker.m_strSelPath, root.path() + Sep());
    EXPECT_EQ(Cwd(), start);
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
