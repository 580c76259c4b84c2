#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "os/desktop.h"
#include "os/module.h"

namespace sim {

class CSimPump;
class CSimWindows;

// The operator's screen for tests: every box and dialog shown is recorded (texts in code page 949).
//
// The questions of an open are modal: they are answered from a script, and `whileModal` runs while
// one is up, as the modal loop of the real platform would dispatch messages meanwhile; a
// CancelModal during it ends every one that is up with kIdCancel.
//
// The operator's own UI stays open, recorded, until the test answers it (ChooseFromTrayMenu,
// CloseAbout, AnswerSettings, AnswerCloseQuestion), the driver closes it, or a scripted answer
// arrives: with a script for its kind, the answer comes as a message of its own, after the call
// that opened the UI has returned, as an operator's click would.
class CSimDesktop : public os::IDesktop {
public:
    struct Shown {
        std::string kind;  // "ok", "question", and "menu", "about", "property", "yesno"
        std::string text;
        std::string caption;
        os::Window owner = 0;
        bool cancelled = false;  // a modal one ended by CancelModal, or UI closed without an answer
    };

    // Where answers are sent and scripted answers queued.
    void Attach(CSimWindows& windows, CSimPump& pump);

    void MessageBoxOk(const char* text, const char* caption) override;
    int RunMessageDialog(os::Window parent, const char* message) override;
    void CancelModal() override;

    bool OpenTrayMenu(os::Window owner) override;
    bool OpenAbout(os::Window owner) override;
    bool OpenSettings(os::Window owner, const os::PropertyFields& fields) override;
    bool OpenCloseQuestion(os::Window owner, const char* text, const char* caption) override;
    bool TakeAnswer(os::OperatorUi ui, os::OperatorAnswer& answer) override;
    void CloseOperatorUi() override;

    // ---- the test's side ----------------------------------------------------------------------
    // Kept for the message-box tests of the printer link: the boxes with an OK button only.
    std::vector<Shown> Boxes() const;
    const std::vector<Shown>& AllShown() const { return m_shown; }
    int CountShown(const std::string& kind) const;
    bool IsOpen(os::OperatorUi ui) const { return m_open.count(ui) != 0; }

    // The operator picks `command` in the open tray menu (0: clicks elsewhere); false when no menu
    // is open.
    bool ChooseFromTrayMenu(int command);
    bool CloseAbout();
    // The operator edits the open settings dialog and presses `result` (kIdOk or kIdCancel).
    bool AnswerSettings(int result, const std::function<void(os::PropertyFields&)>& edit = {});
    bool AnswerCloseQuestion(bool yes);

    // Scripted answers of the modal questions, used in order; when a queue is empty the default
    // answer is given.
    std::deque<int> questionAnswers;
    int defaultQuestionAnswer = os::kIdCancel;
    std::function<void()> whileModal;
    // Scripted answers of the operator's own UI: the menu item picked, the close question's answer,
    // and the settings dialog's button with the operator's edit.
    std::deque<int> trayMenuChoices;
    std::deque<bool> yesNoAnswers;
    std::optional<bool> defaultYesNo;
    std::optional<int> propertyAnswer;
    std::function<void(os::PropertyFields&)> propertyEdit;
    // What the settings dialog was opened with last.
    os::PropertyFields lastPropertyFields;

private:
    struct Open {
        os::Window owner = 0;
        os::PropertyFields fields;
        std::size_t shown = 0;  // its record in m_shown
    };

    // Records a modal box and runs `whileModal`; true when it was cancelled meanwhile.
    bool Modal(Shown shown);
    bool OpenUi(os::OperatorUi ui, os::Window owner, Shown shown);
    // Closes `ui` and sends its answer to the owner.
    bool Answer(os::OperatorUi ui, int result, const std::function<void(os::PropertyFields&)>& edit);
    void Script(std::function<void()> answer);

    CSimWindows* m_pWindows = nullptr;
    CSimPump* m_pPump = nullptr;
    std::vector<Shown> m_shown;
    std::map<os::OperatorUi, Open> m_open;
    std::map<os::OperatorUi, os::OperatorAnswer> m_answers;
    int m_nModalDepth = 0;
    int m_nCancels = 0;
};

class CSimModule : public os::IModule {
public:
    std::string m_strFileName = "C:\\Lodevar\\lodevar.exe";
    std::string FileName(unsigned maxChars) override { return m_strFileName.substr(0, maxChars); }
};

}  // namespace sim
