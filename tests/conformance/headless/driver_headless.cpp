// The conformance user over the headless backend. Headless failures (an unanswered box, a
// dialog left open) fail the running test, which starts with no answers left over.
#include <gtest/gtest.h>

#include "tests/conformance/driver.h"

namespace conformance {

struct ScriptReset : testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { test::ResetScript(); }
};

const bool kInstalled = [] {
    fw::headless::SetFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
    testing::UnitTest::GetInstance()->listeners().Append(new ScriptReset);
    return true;
}();

std::unique_ptr<User> MakeUser(fw::CDialog& dlg) {
    return std::make_unique<User>(dlg);
}

void AnswerBox(int button, std::vector<std::string>& log) {
    test::SetMessageBoxHandler([&log, button](const fw::headless::MessageBoxCall& c) {
        log.push_back("BOX " + c.text);
        return button;
    });
}

}  // namespace conformance
