// The headless backend as the native tests drive it: a user who also presses keys, picks
// entries and looks at what a person would see, and answers given ahead for the boxes and
// dialogs that will appear, with a record of those shown.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "framework/headless/headless.h"
#include "framework/headless/host.h"

namespace test {

class User : public fw::headless::User {
public:
    using fw::headless::User::User;

    void Focus(int id);  // as a mouse click into the control
    void PressEnter();
    void PressEsc();
    void Select(int listId, int index);                // a click on an entry
    void DoubleClick(int listId, int index);           // two clicks on an entry
    void ScrollArrow(int scrollBarId, unsigned code);  // SB_LINEUP or SB_LINEDOWN

    std::string Text(int id) const { return m_host->GetText(id); }
    bool Enabled(int id) const { return m_host->Find(id).enabled; }
    int Check(int id) const { return m_host->Find(id).check; }
    // Every position set, unclamped; the first 100,000 of them.
    std::vector<unsigned> PositionsSent(int id) const { return m_host->Find(id).sent; }
    int FirstVisibleLine(int id) const { return m_host->Find(id).firstLine; }
    std::vector<std::string> Items(int listId) const { return m_host->Find(listId).items; }
    int Focused() const { return m_host->m_focus; }  // the control with the focus, 0 for none
    bool Ended() const { return m_host->m_ended; }
};

// Who answers message boxes: the handler, if set; otherwise the answers given, in order.
void SetMessageBoxHandler(std::function<int(const fw::headless::MessageBoxCall&)> handler);
void AnswerMessageBox(int button);
// Every message box shown since the last call, oldest first.
std::vector<fw::headless::MessageBoxCall> TakeMessageBoxes();
// What the next modal dialog's user does while it is open.
void AnswerNextDialog(std::function<void(User&)> act);
// What the next file dialog returns: a path (IDOK) or nothing (IDCANCEL).
void AnswerFileDialog(std::optional<std::string> path);
// Every file dialog shown since the last call.
std::vector<fw::headless::FileDialogCall> TakeFileDialogs();
// Forgets every answer, handler and hook but the failure handler (between tests).
void ResetScript();

}  // namespace test
