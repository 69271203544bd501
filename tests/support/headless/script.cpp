// The answers given ahead, kept here and handed to the backend through its handlers; the
// user's keys and looks over the backend's window in memory.
#include "tests/support/headless/script.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>

namespace test {

using fw::headless::FileDialogCall;
using fw::headless::MessageBoxCall;

namespace {

struct Answers {
    std::function<int(const MessageBoxCall&)> boxHandler;
    std::deque<int> boxes;
    std::vector<MessageBoxCall> boxesSeen;
    std::deque<std::function<void(User&)>> dialogs;
    std::deque<std::optional<std::string>> files;
    std::vector<FileDialogCall> filesSeen;
};

Answers& answers() {
    static Answers a;
    return a;
}

// The next of the answers given; a failure when none is left.
template <class T>
std::optional<T> Next(std::deque<T>& given, const std::string& what) {
    if (given.empty()) {
        ADD_FAILURE() << "unanswered " << what;
        return std::nullopt;
    }
    T next = std::move(given.front());
    given.pop_front();
    return next;
}

// The answers, once the backend has our handlers back (the command line's run sets its own).
Answers& Installed() {
    fw::headless::SetMessageBoxHandler([](const MessageBoxCall& call) {
        answers().boxesSeen.push_back(call);
        if (answers().boxHandler)
            return answers().boxHandler(call);
        return Next(answers().boxes, "message box \"" + call.caption + "\": " + call.text)
            .value_or(IDCANCEL);
    });
    fw::headless::SetDialogHandler([](fw::CDialog& dlg) {
        auto act = Next(answers().dialogs, "dialog");
        if (!act)
            return dlg.EndDialog(IDCANCEL);
        User user(dlg);
        (*act)(user);
    });
    fw::headless::SetFileDialogHandler([](const FileDialogCall& call) {
        answers().filesSeen.push_back(call);
        return Next(answers().files, "file dialog").value_or(std::nullopt);
    });
    return answers();
}

}  // namespace

void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler) {
    Installed().boxHandler = std::move(handler);
}
void AnswerMessageBox(int button) {
    Installed().boxes.push_back(button);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
    return std::exchange(answers().boxesSeen, {});
}
void AnswerNextDialog(std::function<void(User&)> act) {
    Installed().dialogs.push_back(std::move(act));
}
void AnswerFileDialog(std::optional<std::string> path) {
    Installed().files.push_back(std::move(path));
}
std::vector<FileDialogCall> TakeFileDialogs() {
    return std::exchange(answers().filesSeen, {});
}
void ResetScript() {
    Installed() = Answers{};
    fw::headless::UseFileSystem(nullptr);
    fw::headless::SetPaintHook(nullptr);
}

void User::Focus(int id) {
    if (m_host->Find(id).enabled)
        m_host->MoveFocus(id);
}

void User::PressEnter() {
    if (m_host->m_focus != 0) {
        fw::headless::Control& c = m_host->Find(m_host->m_focus);
        if (c.Multiline() && (c.tpl->style & ES_WANTRETURN))
            return;
        if (c.Is(fw::ControlClass::Button) && !c.AutoCheck()) {
            m_host->Notify(c.tpl->id, BN_CLICKED);
            return;
        }
    }
    int def = m_host->DefaultButton();
    if (m_host->Find(def).enabled)
        m_host->Notify(def, BN_CLICKED);
}

void User::PressEsc() {
    m_host->Notify(IDCANCEL, BN_CLICKED);
}

void User::Select(int listId, int index) {
    if (!m_host->Find(listId).enabled)
        return;
    m_host->MoveFocus(listId);
    // A click notifies even when the entry was already selected.
    m_host->ListSetCurSel(listId, index);
    m_host->Notify(listId, LBN_SELCHANGE);
}

void User::DoubleClick(int listId, int index) {
    Select(listId, index);
    if (m_host->Find(listId).enabled)
        m_host->Notify(listId, LBN_DBLCLK);
}

void User::ScrollArrow(int scrollBarId, unsigned code) {
    if (!m_host->Find(scrollBarId).enabled)
        return;
    fw::EventReply reply;
    m_host->Dialog().OnWndEvent({fw::Msg::VScroll, scrollBarId, code, 0}, reply);
    m_host->Dialog().OnWndEvent({fw::Msg::VScroll, scrollBarId, SB_ENDSCROLL, 0}, reply);
}

}  // namespace test
