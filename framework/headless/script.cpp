// The script's storage and the calls that fill and read it.
#include "framework/headless/script.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace fw::headless {

Script& script() {
    static Script s;
    return s;
}

void Fail(const std::string& message) {
    if (script().failure) {
        script().failure(message);
        return;
    }
    std::fprintf(stderr, "headless: %s\n", message.c_str());
    std::abort();
}

void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler) {
    script().boxHandler = std::move(handler);
}
void SetFileDialogHandler(
    std::function<std::optional<std::string>(const FileDialogCall&)> handler) {
    script().fileDialogHandler = std::move(handler);
}
void SetDialogHandler(std::function<void(CDialog&)> handler) {
    script().dialogHandler = std::move(handler);
}
void SetFailureHandler(std::function<void(const std::string&)> handler) {
    script().failure = std::move(handler);
}
void SetPaintHook(std::function<void()> hook) {
    script().paintHook = std::move(hook);
}
void UseFileSystem(platform::FileSystem* fs) {
    script().fs = fs;
}

}  // namespace fw::headless
