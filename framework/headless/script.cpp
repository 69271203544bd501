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
void AnswerMessageBox(int button) {
    script().boxAnswers.push_back(button);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
    return std::exchange(script().boxesSeen, {});
}
void AnswerNextDialog(std::function<void(User&)> act) {
    script().dialogs.push_back(std::move(act));
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
void AnswerFileDialog(std::optional<std::string> path) {
    script().fileAnswers.push_back(std::move(path));
}
std::vector<FileDialogCall> TakeFileDialogs() {
    return std::exchange(script().fileDialogsSeen, {});
}
void ResetScript() {
    auto failure = script().failure;
    script() = Script{};
    script().failure = failure;
}

}  // namespace fw::headless
