// The UI the operator opens from the tray: each piece on a thread of its own.
//
// The tray menu, the About box, the settings dialog and the close question run modal loops of
// their own for as long as the operator leaves them open. Run on the driver's thread, such a loop
// would sit on top of whatever dispatched the click, possibly a wait of a printer exchange, and
// that wait would stand still under it. So each one runs on a short-lived thread of its own, owned
// by a hidden window of that thread (an owner on the driver's thread would tie the two threads'
// input together), and the choice goes back to the driver's window by SendMessage: the menu's item
// as WM_COMMAND, the answers of the settings dialog and the close question as kWmOperatorAnswer,
// taken with TakeAnswer. A sent message cannot be lost to the cap of a full message queue, and
// TakeAnswer lets the sender go on before the driver acts, so the thread never waits for the work
// the answer starts.
//
// One of each kind is open at a time. CloseOperatorUi ends them without an answer: it posts a
// message to each one's hidden window, whose handler, run by the loop that is up on that thread,
// ends the menu and every dialog of the thread.
#include <process.h>

#include <string>
#include <utility>

#include "os/win32/win32_desktop.h"
#include "os/win32/win32_hangul_font.h"

namespace win32 {

namespace {

constexpr wchar_t kOwnerClass[] = L"Lodevar:Operator";
// To an owner window: end the UI of its thread, without an answer.
constexpr UINT kWmEndUi = WM_APP + 1;
// How long the driver waits for the threads of the operator's UI when it ends.
constexpr DWORD kThreadEndMs = 2000;

// Holds an SRWLOCK exclusively for as long as it lives.
class CLocked {
public:
    explicit CLocked(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~CLocked() { ReleaseSRWLockExclusive(&m_lock); }
    CLocked(const CLocked&) = delete;
    CLocked& operator=(const CLocked&) = delete;

private:
    SRWLOCK& m_lock;
};

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kWmEndUi) {
        EndThreadsModalUi();
        return 0;
    }
    // The tray menu's items, when they draw themselves with a Hangul font.
    if (LRESULT result = 0; HangulMenuMessage(message, wParam, lParam, result)) {
        return result;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int SlotOf(os::OperatorUi ui) {
    const int slot = static_cast<int>(ui);
    return slot >= static_cast<int>(os::OperatorUi::kTrayMenu) &&
                   slot <= static_cast<int>(os::OperatorUi::kCloseQuestion)
               ? slot
               : 0;
}

}  // namespace

// One UI to run, with what it shows and where its answer goes.
struct CWin32Desktop::Job {
    CWin32Desktop* desktop = nullptr;
    os::OperatorUi ui = os::OperatorUi::kAbout;
    HWND driver = nullptr;  // the driver's window that gets the answer
    os::PropertyFields fields;
    std::string text;
    std::string caption;
};

CWin32Desktop::CWin32Desktop() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kOwnerClass;
    RegisterClassExW(&wc);  // already registered by an earlier desktop: fine
}

CWin32Desktop::~CWin32Desktop() {
    CloseOperatorUi();
    const DWORD start = GetTickCount();
    for (HANDLE thread : m_threads) {
        const DWORD spent = GetTickCount() - start;
        // One that does not end in time is left to the end of the process.
        WaitForSingleObject(thread, spent < kThreadEndMs ? kThreadEndMs - spent : 0);
        CloseHandle(thread);
    }
}

bool CWin32Desktop::OpenTrayMenu(os::Window owner) {
    auto job = std::make_unique<Job>();
    job->ui = os::OperatorUi::kTrayMenu;
    job->driver = reinterpret_cast<HWND>(owner);
    return Start(std::move(job));
}

bool CWin32Desktop::OpenAbout(os::Window owner) {
    auto job = std::make_unique<Job>();
    job->ui = os::OperatorUi::kAbout;
    job->driver = reinterpret_cast<HWND>(owner);
    return Start(std::move(job));
}

bool CWin32Desktop::OpenSettings(os::Window owner, const os::PropertyFields& fields) {
    auto job = std::make_unique<Job>();
    job->ui = os::OperatorUi::kSettings;
    job->driver = reinterpret_cast<HWND>(owner);
    job->fields = fields;
    return Start(std::move(job));
}

bool CWin32Desktop::OpenCloseQuestion(os::Window owner, const char* text, const char* caption) {
    auto job = std::make_unique<Job>();
    job->ui = os::OperatorUi::kCloseQuestion;
    job->driver = reinterpret_cast<HWND>(owner);
    job->text = text != nullptr ? text : "";
    job->caption = caption != nullptr ? caption : "";
    return Start(std::move(job));
}

bool CWin32Desktop::TakeAnswer(os::OperatorUi ui, os::OperatorAnswer& answer) {
    const int slot = SlotOf(ui);
    {
        CLocked locked(m_lock);
        if (slot == 0 || !m_slots[slot].answered) {
            return false;
        }
        answer = m_slots[slot].answer;
        m_slots[slot].answered = false;
    }
    // The UI's thread waits in SendMessage: it goes on now, before the driver acts on the answer.
    if (InSendMessage()) {
        ReplyMessage(0);
    }
    return true;
}

void CWin32Desktop::CloseOperatorUi() {
    CLocked locked(m_lock);
    for (Slot& slot : m_slots) {
        if (slot.open) {
            slot.closing = true;
            if (slot.window != nullptr) {
                PostMessageW(slot.window, kWmEndUi, 0, 0);
            }
        }
    }
}

void CWin32Desktop::ReapThreads() {
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        if (WaitForSingleObject(*it, 0) == WAIT_OBJECT_0) {
            CloseHandle(*it);
            it = m_threads.erase(it);
        } else {
            ++it;
        }
    }
}

bool CWin32Desktop::Start(std::unique_ptr<Job> job) {
    ReapThreads();
    const int slot = SlotOf(job->ui);
    if (slot == 0) {
        return false;
    }
    HWND openOne = nullptr;
    {
        CLocked locked(m_lock);
        Slot& state = m_slots[slot];
        if (state.open) {
            openOne = state.window;
        } else {
            state = Slot{};
            state.open = true;
        }
    }
    if (openOne != nullptr) {
        // Brought to the front, where a teller application may have covered it; outside the lock,
        // since this may wait for the UI's thread.
        HWND front = GetLastActivePopup(openOne);
        if (front != openOne) {
            SetForegroundWindow(front);
        }
        return false;
    }
    job->desktop = this;
    Job* handed = job.release();
    const std::uintptr_t thread = _beginthreadex(nullptr, 0, ThreadMain, handed, 0, nullptr);
    if (thread == 0) {
        delete handed;
        CLocked locked(m_lock);
        m_slots[slot].open = false;
        return false;
    }
    m_threads.push_back(reinterpret_cast<HANDLE>(thread));
    return true;
}

unsigned __stdcall CWin32Desktop::ThreadMain(void* job) {
    std::unique_ptr<Job> owned(static_cast<Job*>(job));
    owned->desktop->Run(*owned);
    return 0;
}

void CWin32Desktop::Run(Job& job) {
    const int slot = SlotOf(job.ui);
    HWND owner = CreateWindowExW(WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    bool closing = true;
    {
        CLocked locked(m_lock);
        m_slots[slot].window = owner;
        closing = m_slots[slot].closing;
    }
    int command = 0;
    os::OperatorAnswer answer;
    answer.fields = job.fields;
    if (owner != nullptr && !closing) {
        switch (job.ui) {
            case os::OperatorUi::kTrayMenu:
                command = TrackTrayMenu(owner);
                break;
            case os::OperatorUi::kAbout:
                RunAboutBox(owner);
                break;
            case os::OperatorUi::kSettings:
                answer.result = RunSettingsDialog(owner, answer.fields) == IDOK ? os::kIdOk : os::kIdCancel;
                break;
            case os::OperatorUi::kCloseQuestion:
                answer.result =
                    AskYesNo(owner, job.text.c_str(), job.caption.c_str()) ? os::kIdOk : os::kIdCancel;
                break;
        }
    }
    // The owner goes once the answer has been taken: whoever sees it gone knows that the driver has
    // the answer.
    Deliver(job, command, answer);
    if (owner != nullptr) {
        DestroyWindow(owner);
    }
}

void CWin32Desktop::Deliver(const Job& job, int command, const os::OperatorAnswer& answer) {
    Slot& state = m_slots[SlotOf(job.ui)];
    const bool withAnswer = job.ui == os::OperatorUi::kSettings || job.ui == os::OperatorUi::kCloseQuestion;
    bool cancelled = false;
    {
        CLocked locked(m_lock);
        state.window = nullptr;
        cancelled = state.closing;
        if (withAnswer && !cancelled) {
            state.answer = answer;
            state.answered = true;
        } else {
            // Free at once: the menu's command may run long (an open with its question), and the
            // operator may open the menu again meanwhile.
            state.open = false;
            state.closing = false;
        }
    }
    if (cancelled) {
        return;
    }
    if (withAnswer) {
        SendMessageW(job.driver, os::kWmOperatorAnswer, static_cast<WPARAM>(job.ui), 0);
        CLocked locked(m_lock);
        state.answered = false;  // not taken: the driver's window has gone
        state.open = false;
        state.closing = false;
    } else if (command != 0) {
        SendMessageW(job.driver, WM_COMMAND, static_cast<WPARAM>(command), 0);
    }
}

}  // namespace win32
