// The main window's settings: numeric corrections, the spinner, the check boxes, the paths.
#include <gtest/gtest.h>

#include "tests/support/main_window.h"

namespace {

const char kDiffNotice[] = "Notice>差違の数は、1～999の範囲に自動修正されます";
const char kBlockNotice[] = "Notice>比較サイズは、1～10240の範囲に自動修正されます";

struct Correction {
    const char* typed;
    const char* shown;  // the field's text after leaving it
    unsigned member;
    bool notice;
};

class SettingsTest : public MainWindowTest {
protected:
    // Types each value into the field, then moves the focus away, and checks the field, its
    // member and whether the notice was added.
    void CheckCorrections(int id, const unsigned& member, const char* notice,
                          std::initializer_list<Correction> cases) {
        for (const Correction& c : cases) {
            SCOPED_TRACE(c.typed);
            auto before = Entries().size();
            user->Type(id, c.typed);
            user->Focus(IDC_SRC_PATH);
            EXPECT_EQ(user->Text(id), c.shown);
            EXPECT_EQ(member, c.member);
            auto lines = Entries();
            ASSERT_EQ(lines.size(), before + (c.notice ? 1 : 0));
            if (c.notice) {
                EXPECT_EQ(lines.back(), notice);
            }
        }
    }
};

TEST_F(SettingsTest, StartUpState) {
    std::string cwd = user->Text(IDC_SRC_PATH);
    EXPECT_FALSE(cwd.empty());
    EXPECT_EQ(user->Text(IDC_DST_PATH), cwd);
    EXPECT_EQ(dlg.m_strSrcPath, cwd);
    EXPECT_EQ(dlg.m_strDstPath, cwd);
    std::string log = user->Text(IDC_LOG_PATH);
    EXPECT_EQ(log.substr(0, cwd.size()), cwd);
    EXPECT_TRUE(log.ends_with("check.log"));
    EXPECT_EQ(dlg.m_strLogPath, log);
    EXPECT_FALSE(user->Enabled(IDC_LOG_PATH));
    EXPECT_FALSE(user->Enabled(IDC_LOG_BROWSE));
    EXPECT_EQ(user->Check(IDC_KEEP_LOG), 0);
    EXPECT_EQ(user->Check(IDC_NAMES_ONLY), 0);
    EXPECT_EQ(user->Text(IDC_DIFF_LIMIT), "1");
    EXPECT_EQ(user->Text(IDC_BLOCK_KB), "1024");
    EXPECT_EQ(dlg.m_nDiffLimit, 1u);
    EXPECT_EQ(dlg.m_nBlockKB, 1024u);
    EXPECT_EQ(user->Text(IDC_RESULT), "");
    EXPECT_EQ(user->Pos(IDC_TOTAL_PROGRESS), 0u);
    EXPECT_EQ(user->Pos(IDC_FILE_PROGRESS), 0u);
    EXPECT_EQ(user->Focused(), static_cast<int>(IDOK));
    EXPECT_FALSE(dlg.m_bLogOpen);
}

TEST_F(SettingsTest, DifferenceLimitIsCorrectedOnLeaving) {
    CheckCorrections(IDC_DIFF_LIMIT, dlg.m_nDiffLimit, kDiffNotice,
                     {{"0", "1", 1, true},
                      {"1", "1", 1, false},
                      {"999", "999", 999, false},
                      {"1000", "999", 999, true},
                      {"-5", "999", 999, true},
                      {"", "1", 1, true},
                      {"abc", "1", 1, true},
                      {"007", "007", 7, false},
                      {"4294967296", "1", 1, true}});
}

TEST_F(SettingsTest, BlockSizeIsCorrectedOnLeaving) {
    CheckCorrections(IDC_BLOCK_KB, dlg.m_nBlockKB, kBlockNotice,
                     {{"0", "1", 1, true},
                      {"1", "1", 1, false},
                      {"10240", "10240", 10240, false},
                      {"10241", "10240", 10240, true},
                      {"-1", "10240", 10240, true},
                      {"", "1", 1, true},
                      {"12x", "1", 1, true}});
}

TEST_F(SettingsTest, NoCorrectionWhileTyping) {
    user->Type(IDC_DIFF_LIMIT, "5000");
    EXPECT_EQ(user->Text(IDC_DIFF_LIMIT), "5000");
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SettingsTest, SpinnerStepsByWholeMegabytes) {
    struct Step {
        const char* from;
        unsigned code;
        unsigned to;
    };
    const Step steps[] = {
        {"1024", SB_LINEUP, 2048},    {"1024", SB_LINEDOWN, 1},    {"500", SB_LINEUP, 1024},
        {"500", SB_LINEDOWN, 1},      {"1", SB_LINEUP, 1024},      {"1", SB_LINEDOWN, 1},
        {"9300", SB_LINEUP, 10240},   {"9300", SB_LINEDOWN, 9216}, {"10240", SB_LINEUP, 10240},
        {"10240", SB_LINEDOWN, 9216}, {"2048", SB_LINEDOWN, 1024}, {"0", SB_LINEDOWN, 1},
        {"", SB_LINEDOWN, 1},         {"", SB_LINEUP, 1024},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(std::string(s.from) + (s.code == SB_LINEUP ? " up" : " down"));
        dlg.SetDlgItemText(IDC_BLOCK_KB, s.from);
        user->ScrollArrow(IDC_BLOCK_SPIN, s.code);
        EXPECT_EQ(user->Text(IDC_BLOCK_KB), std::to_string(s.to));
        EXPECT_EQ(dlg.m_nBlockKB, s.to);
    }
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SettingsTest, OtherScrollCodesChangeNothing) {
    for (unsigned code : {SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK, SB_THUMBPOSITION, SB_TOP,
                          SB_BOTTOM, SB_ENDSCROLL}) {
        user->ScrollArrow(IDC_BLOCK_SPIN, code);
        EXPECT_EQ(user->Text(IDC_BLOCK_KB), "1024");
        EXPECT_EQ(dlg.m_nBlockKB, 1024u);
    }
}

TEST_F(SettingsTest, KeepLogEnablesTheLogFieldAndItsButtonOnly) {
    std::string path = user->Text(IDC_LOG_PATH);
    user->Click(IDC_KEEP_LOG);
    EXPECT_EQ(dlg.m_bKeepLog, 1);
    EXPECT_TRUE(user->Enabled(IDC_LOG_PATH));
    EXPECT_TRUE(user->Enabled(IDC_LOG_BROWSE));
    EXPECT_EQ(user->Text(IDC_LOG_PATH), path);
    user->Click(IDC_KEEP_LOG);
    EXPECT_EQ(dlg.m_bKeepLog, 0);
    EXPECT_FALSE(user->Enabled(IDC_LOG_PATH));
    EXPECT_FALSE(user->Enabled(IDC_LOG_BROWSE));
    EXPECT_EQ(user->Text(IDC_LOG_PATH), path);
    EXPECT_EQ(dlg.m_strLogPath, path);
    EXPECT_TRUE(Entries().empty());
}

TEST_F(SettingsTest, NamesOnlyChangesNothingElse) {
    user->Click(IDC_NAMES_ONLY);
    EXPECT_EQ(dlg.m_bNamesOnly, 1);
    EXPECT_TRUE(user->Enabled(IDC_BLOCK_KB));
    EXPECT_TRUE(user->Enabled(IDC_BLOCK_SPIN));
    user->Click(IDC_NAMES_ONLY);
    EXPECT_EQ(dlg.m_bNamesOnly, 0);
}

TEST_F(SettingsTest, PathsFollowTheirFieldsAtOnce) {
    user->Type(IDC_SRC_PATH, "/some/where/元");
    EXPECT_EQ(dlg.m_strSrcPath, "/some/where/元");
    dlg.SetDlgItemText(IDC_DST_PATH, "x");
    EXPECT_EQ(dlg.m_strDstPath, "x");
    user->Click(IDC_KEEP_LOG);
    user->Type(IDC_LOG_PATH, "out.log");
    EXPECT_EQ(dlg.m_strLogPath, "out.log");
    EXPECT_EQ(dlg.m_strSrcPath, "/some/where/元");
}

// Enter leaves the focus in the field; the confirmation box takes it, and the correction
// runs before the run reads any setting.
TEST_F(SettingsTest, FieldWithFocusIsCorrectedBeforeTheConfirmation) {
    user->Type(IDC_DIFF_LIMIT, "0");
    unsigned limitWhenAsked = 12345;
    size_t linesWhenAsked = 0;
    fw::headless::SetMessageBoxHandler([&](const fw::headless::MessageBoxCall& box) {
        EXPECT_EQ(box.text, "ファイルの比較を開始するんですね？");
        EXPECT_EQ(box.caption, "確認");
        EXPECT_EQ(box.type, MB_OKCANCEL);
        limitWhenAsked = dlg.m_nDiffLimit;
        linesWhenAsked = Entries().size();
        return static_cast<int>(IDCANCEL);
    });
    user->PressEnter();
    fw::headless::SetMessageBoxHandler(nullptr);
    EXPECT_EQ(limitWhenAsked, 1u);
    EXPECT_EQ(linesWhenAsked, 1u);
    EXPECT_EQ(Entries(), std::vector<std::string>{kDiffNotice});
    EXPECT_EQ(user->Text(IDC_DIFF_LIMIT), "1");
}

}  // namespace
