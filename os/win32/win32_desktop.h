#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "os/desktop.h"

namespace win32 {

// Message boxes and the driver's dialogs from the program's resources. The texts handed over are
// code page 949; everything is shown through the wide API so that Korean reads correctly on a
// machine with any ANSI code page.
//
// The questions of an open are modal on the calling thread. The operator's own UI (the tray menu,
// the About box, the settings dialog, the close question) each runs modally on a thread of its
// own (win32_operator_ui.cpp), owned by a hidden window of that thread, so that the driver's
// thread never runs their loops.
class CWin32Desktop : public os::IDesktop {
public:
    CWin32Desktop();
    // Closes the operator's UI that is still open and waits a little for its threads.
    ~CWin32Desktop() override;
    CWin32Desktop(const CWin32Desktop&) = delete;
    CWin32Desktop& operator=(const CWin32Desktop&) = delete;

    void MessageBoxOk(const char* text, const char* caption) override;
    // win32_dialogs.cpp
    int RunMessageDialog(os::Window parent, const char* message) override;
    void CancelModal() override;

    // win32_operator_ui.cpp
    bool OpenTrayMenu(os::Window owner) override;
    bool OpenAbout(os::Window owner) override;
    bool OpenSettings(os::Window owner, const os::PropertyFields& fields) override;
    bool OpenCloseQuestion(os::Window owner, const char* text, const char* caption) override;
    bool TakeAnswer(os::OperatorUi ui, os::OperatorAnswer& answer) override;
    void CloseOperatorUi() override;

private:
    struct Job;
    // What the desktop knows of the one UI of a kind.
    struct Slot {
        bool open = false;      // from the opening until its thread is done with it
        bool closing = false;   // CloseOperatorUi asked it to end without an answer
        HWND window = nullptr;  // the hidden window that owns it, on its thread
        bool answered = false;  // `answer` waits to be taken
        os::OperatorAnswer answer;
    };
    static constexpr int kSlots = 5;  // indexed by os::OperatorUi

    bool Start(std::unique_ptr<Job> job);
    static unsigned __stdcall ThreadMain(void* job);
    void Run(Job& job);
    void Deliver(const Job& job, int command, const os::OperatorAnswer& answer);
    void ReapThreads();

    SRWLOCK m_lock = SRWLOCK_INIT;
    Slot m_slots[kSlots];
    std::vector<HANDLE> m_threads;  // touched by the driver's thread only
};

// Runs the dialogs on the calling thread, owned by `owner` (win32_dialogs.cpp): the settings
// dialog answers IDOK with `fields` as the operator left them, else IDCANCEL with `fields` as
// they were.
INT_PTR RunSettingsDialog(HWND owner, os::PropertyFields& fields);
void RunAboutBox(HWND owner);
// The yes/no box of the close question; true for Yes (win32_desktop.cpp).
bool AskYesNo(HWND owner, const char* text, const char* caption);
// The tray menu at the cursor, owned by `owner`, a window of the calling thread: the command
// chosen, 0 for none (win32_tray.cpp).
int TrackTrayMenu(HWND owner);
// Ends every modal box and dialog of the calling thread with IDCANCEL, and its menu.
void EndThreadsModalUi();

}  // namespace win32
