#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "os/desktop.h"
#include "os/module.h"

namespace sim {

// The operator's screen for tests: every box and dialog shown is recorded (texts in code page 949)
// and answered from a script. `whileModal` runs while a box or dialog is up, as the modal loop of
// the real platform would dispatch messages meanwhile.
class CSimDesktop : public os::IDesktop {
public:
    struct Shown {
        std::string kind;  // "ok", "yesno", "question", "property", "about"
        std::string text;
        std::string caption;
        os::Window owner = 0;
    };

    void MessageBoxOk(const char* text, const char* caption) override;
    bool MessageBoxYesNo(os::Window owner, const char* text, const char* caption) override;
    int RunMessageDialog(os::Window parent, const char* message) override;
    int RunPropertyDialog(os::Window parent, os::PropertyFields& fields) override;
    void RunAboutDialog(os::Window parent) override;

    // Kept for the message-box tests of the printer link: the boxes with an OK button only.
    std::vector<Shown> Boxes() const;
    const std::vector<Shown>& AllShown() const { return m_shown; }
    int CountShown(const std::string& kind) const;

    // Answers, used in order; when a queue is empty the default answer is given.
    std::deque<bool> yesNoAnswers;
    bool defaultYesNo = true;
    std::deque<int> questionAnswers;
    int defaultQuestionAnswer = os::kIdCancel;
    // The operator's edit of the settings dialog and the button pressed.
    std::function<void(os::PropertyFields&)> propertyEdit;
    int propertyAnswer = os::kIdCancel;
    // What the settings dialog was opened with, for tests.
    os::PropertyFields lastPropertyFields;
    std::function<void()> whileModal;

private:
    void Modal();
    std::vector<Shown> m_shown;
};

class CSimModule : public os::IModule {
public:
    std::string m_strFileName = "C:\\Lodevar\\lodevar.exe";
    std::string FileName(unsigned maxChars) override { return m_strFileName.substr(0, maxChars); }
};

}  // namespace sim
