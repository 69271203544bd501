// The headless backend's outside: a user who types and clicks into an open dialog, and who
// answers message boxes and modal dialogs, for the native tests; tests/support adds the
// rest of what they need.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/window.h"
#include "platform/fs.h"

namespace fw::headless {

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned type = 0;
};

struct FileDialogCall {
    bool open = false;
    std::string defExt, fileName, filter;
    unsigned flags = 0;
};

// Where directory lists come from; null for the real file system.
void UseFileSystem(platform::FileSystem* fs);
// Who answers message boxes, file dialogs (a path for IDOK, nothing for IDCANCEL) and modal
// dialogs (acting on the dialog while it is open). With none set, each is a failure.
void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler);
void SetFileDialogHandler(std::function<std::optional<std::string>(const FileDialogCall&)> handler);
void SetDialogHandler(std::function<void(CDialog&)> handler);
// Called when a box or dialog appears that nobody answers, or a dialog is left open by its
// handler; the default prints the message and aborts.
void SetFailureHandler(std::function<void(const std::string&)> handler);
// Called at each tick of a window's timer, after its handler: the window as it is painted.
void SetPaintHook(std::function<void()> hook);

// The person at the keyboard, acting on one open dialog.
class User {
public:
    explicit User(CWnd& wnd);

    void Type(int id, const std::string& text);  // focus there, clear it, type each character
    void Click(int id);                          // buttons and check boxes; takes the focus
    void CloseBox();                             // the title bar's close box

protected:
    class HeadlessHost* m_host;
};

}  // namespace fw::headless
