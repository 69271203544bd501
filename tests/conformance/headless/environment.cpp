// Headless failures (an unanswered box, a dialog left open) fail the running test instead
// of aborting the program, and each test starts with no scripted answers left over.
#include <gtest/gtest.h>

#include "framework/headless/headless.h"

namespace {

class ScriptReset : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { fw::headless::ResetScript(); }
};

class HeadlessEnvironment : public testing::Environment {
public:
    void SetUp() override {
        fw::headless::SetFailureHandler(
            [](const std::string& message) { ADD_FAILURE() << message; });
        testing::UnitTest::GetInstance()->listeners().Append(new ScriptReset);
    }
};

const testing::Environment* const kEnvironment =
    testing::AddGlobalTestEnvironment(new HeadlessEnvironment);

}  // namespace
