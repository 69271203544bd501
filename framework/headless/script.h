// The headless backend's script: what the tests or the command line arranged for boxes,
// dialogs and paint, and what was shown. Internal to the backend.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/headless/headless.h"

namespace fw::headless {

struct Script {
    platform::FileSystem* fs = nullptr;
    std::deque<std::optional<std::string>> fileAnswers;
    std::vector<FileDialogCall> fileDialogsSeen;
    std::function<int(const MessageBoxCall&)> boxHandler;
    std::deque<int> boxAnswers;
    std::vector<MessageBoxCall> boxesSeen;
    std::deque<std::function<void(User&)>> dialogs;
    std::function<void(const std::string&)> failure;
    std::function<void()> paintHook;
};

Script& script();
// Reports a script that does not fit what happened: to the failure handler, or aborts.
void Fail(const std::string& message);

}  // namespace fw::headless
