// The person at the keyboard for the conformance tests, over either backend: the headless
// scripted user, or the messages Windows would send to real windows.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/window.h"

namespace conformance {

class User {
public:
    virtual ~User() = default;
    virtual void Type(int id, const std::string& text) = 0;  // focus, clear, one char at a time
    virtual void Focus(int id) = 0;                          // a click into the control
    virtual void Click(int id) = 0;
    virtual void PressEnter() = 0;
    virtual void PressEsc() = 0;
    virtual void Select(int listId, int index) = 0;  // a click on an entry
    virtual void DoubleClick(int listId, int index) = 0;
    virtual void ScrollArrow(int scrollBarId, unsigned code) = 0;
    // The next message box is answered with button and logged as "BOX <text>"; the next
    // file dialog is cancelled.
    virtual void AnswerBox(int button, std::vector<std::string>& log) = 0;
    virtual int Focused() = 0;  // 0 for none
    virtual bool Ended() = 0;
    virtual bool Enabled(int id) = 0;
    virtual int FirstVisibleLine(int id) = 0;
    virtual std::vector<std::string> Items(int listId) = 0;
};

std::unique_ptr<User> MakeUser(fw::CDialog& dlg);

}  // namespace conformance
