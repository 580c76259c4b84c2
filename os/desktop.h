#pragma once

#include <string>

#include "os/window.h"

namespace os {

// The fields of the settings dialog, as its controls show them.
struct PropertyFields {
    int portRadio = -1;   // 0 = Com1, 1 = Com2, -1 = none checked
    std::string speed;    // at most 5 characters
    int trace = 0;        // check box
    std::string msrWait;  // "ON" or "OFF", read-only
    int users = 0;        // read-only
    int modelRadio = -1;  // 0, 1, 2 = first, second, third (hidden) button; -1 = none checked
};

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// The UI the operator opens from the tray icon.
enum class OperatorUi { kTrayMenu = 1, kAbout = 2, kSettings = 3, kCloseQuestion = 4 };

// What the operator answered in the settings dialog or the close question.
struct OperatorAnswer {
    int result = kIdCancel;  // kIdOk for OK or yes
    PropertyFields fields;   // the settings dialog's fields as the operator left them, after OK
};

// What the operator sees of the driver: message boxes and dialogs. Every text handed to the
// desktop is in the driver's code page 949; the platform converts it for display, so it reads
// correctly whatever the machine's ANSI code page is.
//
// There are two kinds. The questions that are part of a printer open (the library's boxes and the
// question whether to try again) are modal: the open waits for their answer, and while they are up
// the driver's thread keeps dispatching window messages in their loop. The UI the operator opens
// from the tray (the menu, the About box, the settings dialog and the close question) runs beside
// the driver's work: opening it returns at once, and the driver's thread never waits in a loop of
// its own while the operator leaves it open, so a printer exchange that is waiting goes on.
class IDesktop {
public:
    virtual ~IDesktop() = default;

    // ---- the questions of a printer open --------------------------------------------------------
    // A modal box with an OK button and no owner window.
    virtual void MessageBoxOk(const char* text, const char* caption) = 0;
    // The topmost yes/no question about the printer (dialog 132): kIdOk for yes, kIdCancel for no,
    // Escape or the close box.
    virtual int RunMessageDialog(Window parent, const char* message) = 0;
    // Ends every modal box and question that is up on the calling thread as if the operator had
    // said no (the question answers kIdCancel). For a message handled in their loop, when the
    // driver closes; nothing when none is up.
    virtual void CancelModal() = 0;

    // ---- the operator's own UI, beside the driver's work ----------------------------------------
    // Each opens its UI and returns at once; false when one of that kind is open already (it is
    // then brought to the front) or when it cannot be shown.
    // The tray menu (menu resource 132) at the cursor: the item chosen reaches `owner` as a sent
    // WM_COMMAND; nothing is sent when the operator picks nothing.
    virtual bool OpenTrayMenu(Window owner) = 0;
    // The About box (dialog 100): nothing is sent when it is closed.
    virtual bool OpenAbout(Window owner) = 0;
    // The settings dialog (dialog 130) with `fields`, and the close question (a box with Yes and
    // No). Their answer is sent to `owner` as kWmOperatorAnswer with the OperatorUi as wParam; its
    // handler takes the answer with TakeAnswer. Escape and the close box answer kIdCancel.
    virtual bool OpenSettings(Window owner, const PropertyFields& fields) = 0;
    virtual bool OpenCloseQuestion(Window owner, const char* text, const char* caption) = 0;
    // The answer a kWmOperatorAnswer announces, once; false when there is none (a message that did
    // not come from the desktop).
    virtual bool TakeAnswer(OperatorUi ui, OperatorAnswer& answer) = 0;
    // Closes every UI of the operator's that is open, without an answer: the driver is closing.
    virtual void CloseOperatorUi() = 0;
};

}  // namespace os
