// The headless backend's outside: a scripted user for an open dialog, and the answers that
// message boxes and modal dialogs will get. Used by the tests and the command line.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/window.h"
#include "platform/fs.h"

namespace fw::headless {

struct MessageBoxCall {
    std::string text;
    std::string caption;
    unsigned type = 0;
};

class User;

struct FileDialogCall {
    bool open = false;
    std::string defExt, fileName, filter;
    unsigned flags = 0;
};

// Where directory lists come from; null for the real file system.
void UseFileSystem(platform::FileSystem* fs);
// What the next file dialog returns: a path (IDOK) or nothing (IDCANCEL).
void AnswerFileDialog(std::optional<std::string> path);
// Every file dialog shown since the last call.
std::vector<FileDialogCall> TakeFileDialogs();

// Who answers message boxes: the handler, if set; otherwise the scripted answers in order.
void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler);
void AnswerMessageBox(int button);
// Every message box shown since the last call, oldest first.
std::vector<MessageBoxCall> TakeMessageBoxes();
// What the next modal dialog's user does while it is open.
void AnswerNextDialog(std::function<void(User&)> act);
// Called when a box or dialog appears that nobody scripted an answer for, or a dialog is
// left open by its script; the default prints the message and aborts.
void SetFailureHandler(std::function<void(const std::string&)> handler);
// Called each time a window lets paint through during a long operation.
void SetPaintHook(std::function<void()> hook);
// Forgets every scripted answer and handler (between tests).
void ResetScript();

// The person at the keyboard, acting on one open dialog.
class User {
public:
    explicit User(CWnd& wnd);

    void Type(int id, const std::string& text);  // focus there, clear it, type each character
    void Focus(int id);                          // as a mouse click into the control
    void Click(int id);                          // buttons and check boxes; takes the focus
    void PressEnter();
    void PressEsc();
    void Select(int listId, int index);                // a click on an entry
    void DoubleClick(int listId, int index);           // two clicks on an entry
    void ScrollArrow(int scrollBarId, unsigned code);  // SB_LINEUP or SB_LINEDOWN

    std::string Text(int id) const;
    bool Enabled(int id) const;
    int Check(int id) const;
    unsigned Pos(int id) const;
    // Every position set, unclamped; the first 100,000 of them.
    std::vector<unsigned> PositionsSent(int id) const;
    int FirstVisibleLine(int id) const;
    int LineCount(int id) const;
    std::vector<std::string> Items(int listId) const;
    int CurSel(int listId) const;
    int Focused() const;  // the control with the focus, 0 for none
    bool Ended() const;

private:
    class HeadlessHost* m_host;
};

}  // namespace fw::headless
