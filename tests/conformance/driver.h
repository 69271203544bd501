// The person at the keyboard for the conformance tests: the headless scripted user, or one
// that sends real windows the messages Windows would send.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/window.h"
#ifndef _WIN32
#include "tests/support/headless/script.h"
#endif

namespace conformance {

#ifdef _WIN32
// What test::User does, over a real window.
class User {
public:
    virtual ~User() = default;
    virtual void Type(int id, const std::string& text) = 0;
    virtual void Focus(int id) = 0;
    virtual void Click(int id) = 0;
    virtual void PressEnter() = 0;
    virtual void PressEsc() = 0;
    virtual void Select(int listId, int index) = 0;
    virtual void DoubleClick(int listId, int index) = 0;
    virtual void ScrollArrow(int scrollBarId, unsigned code) = 0;
    virtual int Focused() = 0;
    virtual bool Ended() = 0;
    virtual bool Enabled(int id) = 0;
    virtual int FirstVisibleLine(int id) = 0;
    virtual std::vector<std::string> Items(int listId) = 0;
};
#else
using User = test::User;
#endif

std::unique_ptr<User> MakeUser(fw::CDialog& dlg);
// Answers the next message box with button, logging "BOX <text>".
void AnswerBox(int button, std::vector<std::string>& log);

}  // namespace conformance
