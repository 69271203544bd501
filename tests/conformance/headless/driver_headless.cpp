// The conformance driver over the headless backend's scripted user.
#include <gtest/gtest.h>

#include <deque>

#include "framework/headless/headless.h"
#include "tests/conformance/driver.h"

namespace conformance {

namespace {

class HeadlessDriver : public Driver {
public:
    HeadlessDriver(fw::CDialog& dlg, std::vector<std::string>& log) : m_user(dlg) {
        fw::headless::SetMessageBoxHandler([this, &log](const fw::headless::MessageBoxCall& c) {
            log.push_back("BOX " + c.text);
            if (m_answers.empty()) {
                ADD_FAILURE() << "unanswered message box: " << c.text;
                return static_cast<int>(IDCANCEL);
            }
            int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        });
    }
    ~HeadlessDriver() override {
        fw::headless::SetMessageBoxHandler(nullptr);
        EXPECT_TRUE(m_answers.empty()) << "a message box that was to come never came";
    }

    void Type(int id, const std::string& text) override { m_user.Type(id, text); }
    void Focus(int id) override { m_user.Focus(id); }
    void Click(int id) override { m_user.Click(id); }
    void PressEnter() override { m_user.PressEnter(); }
    void PressEsc() override { m_user.PressEsc(); }
    void Select(int listId, int index) override { m_user.Select(listId, index); }
    void DoubleClick(int listId, int index) override { m_user.DoubleClick(listId, index); }
    void Arrow(int scrollBarId, unsigned code) override { m_user.ScrollArrow(scrollBarId, code); }
    void AnswerNextMessageBox(int button) override { m_answers.push_back(button); }
    void CancelNextFileDialog() override { fw::headless::AnswerFileDialog(std::nullopt); }
    int Focused() override { return m_user.Focused(); }
    bool Ended() override { return m_user.Ended(); }

private:
    fw::headless::User m_user;
    std::deque<int> m_answers;
};

}  // namespace

std::unique_ptr<Driver> MakeDriver(fw::CDialog& dlg, std::vector<std::string>& log) {
    return std::make_unique<HeadlessDriver>(dlg, log);
}

}  // namespace conformance
