// The answers given ahead, kept here and handed to the backend through its handlers; the
// user's keys and looks over the backend's window in memory.
#include "tests/support/headless/script.h"

#include <gtest/gtest.h>

#include <deque>
#include <utility>

#include "framework/headless/host.h"

namespace test {

using fw::headless::Control;
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

int AnswerBox(const MessageBoxCall& call) {
    Answers& a = answers();
    a.boxesSeen.push_back(call);
    if (a.boxHandler)
        return a.boxHandler(call);
    if (a.boxes.empty()) {
        ADD_FAILURE() << "unanswered message box \"" << call.caption << "\": " << call.text;
        return IDCANCEL;
    }
    int answer = a.boxes.front();
    a.boxes.pop_front();
    return answer;
}

void AnswerDialog(fw::CDialog& dlg) {
    Answers& a = answers();
    if (a.dialogs.empty()) {
        ADD_FAILURE() << "unanswered dialog";
        dlg.EndDialog(IDCANCEL);
        return;
    }
    auto act = std::move(a.dialogs.front());
    a.dialogs.pop_front();
    User user(dlg);
    act(user);
}

std::optional<std::string> AnswerFile(const FileDialogCall& call) {
    Answers& a = answers();
    a.filesSeen.push_back(call);
    if (a.files.empty()) {
        ADD_FAILURE() << "unanswered file dialog";
        return std::nullopt;
    }
    std::optional<std::string> chosen = std::move(a.files.front());
    a.files.pop_front();
    return chosen;
}

// The command line's own run sets the backend's handlers too.
void Install() {
    fw::headless::SetMessageBoxHandler(AnswerBox);
    fw::headless::SetDialogHandler(AnswerDialog);
    fw::headless::SetFileDialogHandler(AnswerFile);
}

}  // namespace

void SetMessageBoxHandler(std::function<int(const MessageBoxCall&)> handler) {
    Install();
    answers().boxHandler = std::move(handler);
}
void AnswerMessageBox(int button) {
    Install();
    answers().boxes.push_back(button);
}
std::vector<MessageBoxCall> TakeMessageBoxes() {
    return std::exchange(answers().boxesSeen, {});
}
void AnswerNextDialog(std::function<void(User&)> act) {
    Install();
    answers().dialogs.push_back(std::move(act));
}
void AnswerFileDialog(std::optional<std::string> path) {
    Install();
    answers().files.push_back(std::move(path));
}
std::vector<FileDialogCall> TakeFileDialogs() {
    return std::exchange(answers().filesSeen, {});
}
void ResetScript() {
    answers() = Answers{};
    Install();
    fw::headless::UseFileSystem(nullptr);
    fw::headless::SetPaintHook(nullptr);
}

void User::Focus(int id) {
    if (m_host->Find(id).enabled)
        m_host->MoveFocus(id);
}

void User::PressEnter() {
    if (m_host->m_focus != 0) {
        Control& c = m_host->Find(m_host->m_focus);
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

std::string User::Text(int id) const {
    return m_host->GetText(id);
}
bool User::Enabled(int id) const {
    return m_host->Find(id).enabled;
}
int User::Check(int id) const {
    return m_host->Find(id).check;
}
std::vector<unsigned> User::PositionsSent(int id) const {
    return m_host->Find(id).sent;
}
int User::FirstVisibleLine(int id) const {
    return m_host->Find(id).firstLine;
}
std::vector<std::string> User::Items(int listId) const {
    return m_host->Find(listId).items;
}
int User::Focused() const {
    return m_host->m_focus;
}
bool User::Ended() const {
    return m_host->m_ended;
}

}  // namespace test
