#include "os/sim/sim_desktop.h"

#include "os/sim/sim_pump.h"
#include "os/sim/sim_windows.h"

namespace sim {

void CSimDesktop::Attach(CSimWindows& windows, CSimPump& pump) {
    m_pWindows = &windows;
    m_pPump = &pump;
}

bool CSimDesktop::Modal(Shown shown) {
    m_shown.push_back(std::move(shown));
    const std::size_t index = m_shown.size() - 1;
    const int cancels = m_nCancels;
    ++m_nModalDepth;
    if (whileModal) {
        whileModal();
    }
    --m_nModalDepth;
    // A cancel ends every box that is up, the ones further down the stack too.
    m_shown[index].cancelled = m_nCancels != cancels;
    return m_shown[index].cancelled;
}

void CSimDesktop::MessageBoxOk(const char* text, const char* caption) {
    Modal(Shown{"ok", text, caption, 0});
}

int CSimDesktop::RunMessageDialog(os::Window parent, const char* message) {
    if (Modal(Shown{"question", message, "", parent})) {
        return os::kIdCancel;
    }
    if (questionAnswers.empty()) {
        return defaultQuestionAnswer;
    }
    int answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

void CSimDesktop::CancelModal() {
    if (m_nModalDepth > 0) {
        ++m_nCancels;
    }
}

bool CSimDesktop::OpenUi(os::OperatorUi ui, os::Window owner, Shown shown) {
    if (IsOpen(ui)) {
        return false;
    }
    m_shown.push_back(std::move(shown));
    m_open[ui] = Open{owner, {}, m_shown.size() - 1};
    return true;
}

void CSimDesktop::Script(std::function<void()> answer) {
    if (m_pPump != nullptr) {
        m_pPump->Post(os::kWmOperatorAnswer, 0, std::move(answer));
    }
}

bool CSimDesktop::OpenTrayMenu(os::Window owner) {
    if (!OpenUi(os::OperatorUi::kTrayMenu, owner, Shown{"menu", "", "", owner})) {
        return false;
    }
    if (!trayMenuChoices.empty()) {
        int choice = trayMenuChoices.front();
        trayMenuChoices.pop_front();
        Script([this, choice] { ChooseFromTrayMenu(choice); });
    }
    return true;
}

bool CSimDesktop::OpenAbout(os::Window owner) {
    return OpenUi(os::OperatorUi::kAbout, owner, Shown{"about", "", "", owner});
}

bool CSimDesktop::OpenSettings(os::Window owner, const os::PropertyFields& fields) {
    if (!OpenUi(os::OperatorUi::kSettings, owner, Shown{"property", "", "", owner})) {
        return false;
    }
    m_open[os::OperatorUi::kSettings].fields = fields;
    lastPropertyFields = fields;
    if (propertyAnswer) {
        Script([this, result = *propertyAnswer, edit = propertyEdit] { AnswerSettings(result, edit); });
    }
    return true;
}

bool CSimDesktop::OpenCloseQuestion(os::Window owner, const char* text, const char* caption) {
    if (!OpenUi(os::OperatorUi::kCloseQuestion, owner, Shown{"yesno", text, caption, owner})) {
        return false;
    }
    std::optional<bool> yes = defaultYesNo;
    if (!yesNoAnswers.empty()) {
        yes = yesNoAnswers.front();
        yesNoAnswers.pop_front();
    }
    if (yes) {
        Script([this, answer = *yes] { AnswerCloseQuestion(answer); });
    }
    return true;
}

bool CSimDesktop::TakeAnswer(os::OperatorUi ui, os::OperatorAnswer& answer) {
    auto it = m_answers.find(ui);
    if (it == m_answers.end()) {
        return false;
    }
    answer = it->second;
    m_answers.erase(it);
    return true;
}

void CSimDesktop::CloseOperatorUi() {
    for (const auto& [ui, open] : m_open) {
        m_shown[open.shown].cancelled = true;
    }
    m_open.clear();
}

bool CSimDesktop::Answer(os::OperatorUi ui, int result,
                         const std::function<void(os::PropertyFields&)>& edit) {
    auto it = m_open.find(ui);
    if (it == m_open.end()) {
        return false;
    }
    const os::Window owner = it->second.owner;
    os::OperatorAnswer answer;
    answer.result = result;
    answer.fields = it->second.fields;
    m_open.erase(it);
    if (edit) {
        edit(answer.fields);
    }
    m_answers[ui] = answer;
    if (m_pWindows != nullptr) {
        m_pWindows->Send(owner, os::Message{os::kWmOperatorAnswer, static_cast<std::uintptr_t>(ui)});
    }
    return true;
}

bool CSimDesktop::ChooseFromTrayMenu(int command) {
    auto it = m_open.find(os::OperatorUi::kTrayMenu);
    if (it == m_open.end()) {
        return false;
    }
    const os::Window owner = it->second.owner;
    m_open.erase(it);
    if (command != 0 && m_pWindows != nullptr) {
        m_pWindows->Send(owner, os::Message{os::kWmCommand, static_cast<std::uintptr_t>(command)});
    }
    return true;
}

bool CSimDesktop::CloseAbout() {
    return m_open.erase(os::OperatorUi::kAbout) != 0;
}

bool CSimDesktop::AnswerSettings(int result, const std::function<void(os::PropertyFields&)>& edit) {
    return Answer(os::OperatorUi::kSettings, result, edit);
}

bool CSimDesktop::AnswerCloseQuestion(bool yes) {
    return Answer(os::OperatorUi::kCloseQuestion, yes ? os::kIdOk : os::kIdCancel, {});
}

std::vector<CSimDesktop::Shown> CSimDesktop::Boxes() const {
    std::vector<Shown> boxes;
    for (const Shown& shown : m_shown) {
        if (shown.kind == "ok") {
            boxes.push_back(shown);
        }
    }
    return boxes;
}

int CSimDesktop::CountShown(const std::string& kind) const {
    int count = 0;
    for (const Shown& shown : m_shown) {
        count += shown.kind == kind ? 1 : 0;
    }
    return count;
}

}  // namespace sim
