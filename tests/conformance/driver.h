// The person at the keyboard for the conformance tests, over either backend's real
// behaviour: the headless scripted user, or messages sent to real Win32 windows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/window.h"

namespace conformance {

class Driver {
public:
    virtual ~Driver() = default;
    virtual void Type(int id, const std::string& text) = 0;  // focus, clear, one char at a time
    virtual void Focus(int id) = 0;                          // a click into the control
    virtual void Click(int id) = 0;                          // buttons and check boxes
    virtual void PressEnter() = 0;
    virtual void PressEsc() = 0;
    virtual void Select(int listId, int index) = 0;  // a click on an entry
    virtual void DoubleClick(int listId, int index) = 0;
    virtual void Arrow(int scrollBarId, unsigned code) = 0;  // SB_LINEUP or SB_LINEDOWN
    // The next message box is answered with button; "BOX <text>" goes to the log then.
    virtual void AnswerNextMessageBox(int button) = 0;
    // The next file dialog is cancelled.
    virtual void CancelNextFileDialog() = 0;
    virtual int Focused() = 0;  // the control with the focus, 0 for none
    virtual bool Ended() = 0;   // the dialog was ended (EndDialog)
};

// A driver for the open dialog; log is where message boxes are recorded as they appear.
std::unique_ptr<Driver> MakeDriver(fw::CDialog& dlg, std::vector<std::string>& log);

}  // namespace conformance
