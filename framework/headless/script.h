// The headless backend's script: who answers boxes and dialogs, and who is told of paint and
// failures. Internal to the backend.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/headless/headless.h"

namespace fw::headless {

struct Script {
    platform::FileSystem* fs = nullptr;
    std::function<std::optional<std::string>(const FileDialogCall&)> fileDialogHandler;
    std::function<int(const MessageBoxCall&)> boxHandler;
    std::function<void(CDialog&)> dialogHandler;
    std::function<void(const std::string&)> failure;
    std::function<void()> paintHook;
};

Script& script();
// Reports a script that does not fit what happened: to the failure handler, or aborts.
void Fail(const std::string& message);

}  // namespace fw::headless
