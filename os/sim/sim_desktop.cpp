#include "os/sim/sim_desktop.h"

namespace sim {

void CSimDesktop::Modal() {
    if (whileModal) {
        whileModal();
    }
}

void CSimDesktop::MessageBoxOk(const char* text, const char* caption) {
    m_shown.push_back(Shown{"ok", text, caption, 0});
    Modal();
}

bool CSimDesktop::MessageBoxYesNo(os::Window owner, const char* text, const char* caption) {
    m_shown.push_back(Shown{"yesno", text, caption, owner});
    Modal();
    if (yesNoAnswers.empty()) {
        return defaultYesNo;
    }
    bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

int CSimDesktop::RunMessageDialog(os::Window parent, const char* message) {
    m_shown.push_back(Shown{"question", message, "", parent});
    Modal();
    if (questionAnswers.empty()) {
        return defaultQuestionAnswer;
    }
    int answer = questionAnswers.front();
    questionAnswers.pop_front();
    return answer;
}

int CSimDesktop::RunPropertyDialog(os::Window parent, os::PropertyFields& fields) {
    m_shown.push_back(Shown{"property", "", "", parent});
    lastPropertyFields = fields;
    Modal();
    if (propertyEdit) {
        propertyEdit(fields);
    }
    return propertyAnswer;
}

void CSimDesktop::RunAboutDialog(os::Window parent) {
    m_shown.push_back(Shown{"about", "", "", parent});
    Modal();
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
