// A main window opened headless, with the scripted user, for the native tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CopyCheckDlg.h"
#include "framework/headless/headless.h"

// The entries in a window's ring, oldest first, without their leading CR LF.
inline std::vector<std::string> ResultEntries(const CCopyCheckDlg& dlg) {
    std::vector<std::string> out;
    for (int k = 0; k < 32; ++k) {
        const std::string& slot = dlg.m_strResultLines[(dlg.m_nNextLine + k) & 31];
        if (!slot.empty())
            out.push_back(slot.substr(2));
    }
    return out;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        user = std::make_unique<fw::headless::User>(dlg);
    }
    void TearDown() override {
        user.reset();
        dlg.DestroyWindow();
    }

    std::vector<std::string> Entries() const { return ResultEntries(dlg); }

    CCopyCheckDlg dlg;
    std::unique_ptr<fw::headless::User> user;
};
