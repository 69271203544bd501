// A main window opened headless, with the scripted user, for the native tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/CopyCheckDlg.h"
#include "tests/support/headless/script.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dlg.Create());
        user = std::make_unique<test::User>(dlg);
    }
    void TearDown() override {
        user.reset();
        dlg.DestroyWindow();
    }

    // The entries in the window's ring, oldest first, without their leading CR LF.
    std::vector<std::string> Entries() const {
        std::vector<std::string> out;
        for (int k = 0; k < 32; ++k)
            if (const std::string& slot = dlg.m_strResultLines[(dlg.m_nNextLine + k) & 31];
                !slot.empty())
                out.push_back(slot.substr(2));
        return out;
    }

    CCopyCheckDlg dlg;
    std::unique_ptr<test::User> user;
};
