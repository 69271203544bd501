// The conformance user over the headless scripted one. Headless failures (an unanswered
// box, a dialog left open) fail the running test, which starts with no answers left over.
#include <gtest/gtest.h>

#include <utility>

#include "framework/headless/headless.h"
#include "tests/conformance/driver.h"

namespace conformance {

namespace {

class HeadlessUser : public User {
public:
    explicit HeadlessUser(fw::CDialog& dlg) : u(dlg) {}
    void Type(int id, const std::string& text) override { u.Type(id, text); }
    void Focus(int id) override { u.Focus(id); }
    void Click(int id) override { u.Click(id); }
    void PressEnter() override { u.PressEnter(); }
    void PressEsc() override { u.PressEsc(); }
    void Select(int listId, int index) override { u.Select(listId, index); }
    void DoubleClick(int listId, int index) override { u.DoubleClick(listId, index); }
    void ScrollArrow(int scrollBarId, unsigned code) override { u.ScrollArrow(scrollBarId, code); }
    void AnswerBox(int button, std::vector<std::string>& log) override {
        fw::headless::SetMessageBoxHandler([&log, button](const fw::headless::MessageBoxCall& c) {
            log.push_back("BOX " + c.text);
            return button;
        });
        fw::headless::AnswerFileDialog(std::nullopt);
    }
    int Focused() override { return u.Focused(); }
    bool Ended() override { return u.Ended(); }
    bool Enabled(int id) override { return u.Enabled(id); }
    int FirstVisibleLine(int id) override { return u.FirstVisibleLine(id); }
    std::vector<std::string> Items(int listId) override { return u.Items(listId); }

    fw::headless::User u;
};

class ScriptReset : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { fw::headless::ResetScript(); }
};

const bool kInstalled = [] {
    fw::headless::SetFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
    testing::UnitTest::GetInstance()->listeners().Append(new ScriptReset);
    return true;
}();

}  // namespace

std::unique_ptr<User> MakeUser(fw::CDialog& dlg) {
    return std::make_unique<HeadlessUser>(dlg);
}

}  // namespace conformance
