#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "os/sim/sim_pump.h"
#include "os/window.h"

namespace sim {

// Windows for tests. Each window is an entry in a table with the logic that handles its messages;
// posted messages and timer ticks go through the simulated message queue, sent messages are
// handled at once, and a destroyed window receives nothing more. As on Windows, a thread's queue
// holds a bounded number of posted messages: Post fails while `postLimit` of them wait. Timer ticks
// are not posted messages and do not count.
class CSimWindows : public os::IWindows {
public:
    explicit CSimWindows(CSimPump& pump) : m_pump(pump) {}

    bool RegisterMainClass(const char* className) override;
    os::Window CreateMainWindow(const char* className, const char* windowName,
                                os::IWindowProc& proc) override;
    os::Window CreateGateWindow(os::Window parent, os::IWindowProc& proc) override;
    void Destroy(os::Window window) override;
    bool IsWindow(os::Window window) override;
    void Show(os::Window window, int showCommand) override;
    void SetText(os::Window window, const char* text) override;
    bool Post(os::Window window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void PostQuit() override { m_bQuit = true; }
    std::intptr_t SendCopyData(os::Window target, os::Window from, std::uintptr_t tag, const void* data,
                               std::uint32_t size) override;
    void SetTimer(os::Window window, std::uintptr_t id, std::uint32_t periodMs) override;
    void KillTimer(os::Window window, std::uintptr_t id) override;
    bool AddTrayIcon(os::Window owner, std::uint32_t id, std::uint32_t callbackMessage,
                     const char* tip) override;
    void DeleteTrayIcon(os::Window owner, std::uint32_t id) override;
    bool SetTrayTip(os::Window owner, std::uint32_t id, const char* tip) override;
    bool ShowTrayBalloon(os::Window owner, std::uint32_t id, const char* title, const char* text,
                         bool warning) override;

    // ---- the test's side ----------------------------------------------------------------------
    // A top-level window of another program, such as a teller application's.
    os::Window CreateClientWindow(os::IWindowProc& proc);
    // Delivers a message at once, as SendMessage does; 0 when the window is gone.
    std::intptr_t Send(os::Window window, const os::Message& message);

    struct Info {
        os::IWindowProc* proc = nullptr;
        os::Window parent = 0;
        std::string className;
        std::string text;
        int showCommand = -1;
        bool alive = true;
        bool gate = false;
    };
    const Info* Find(os::Window window) const;
    std::vector<os::Window> LiveChildren(os::Window parent) const;
    bool TimerSet(os::Window window, std::uintptr_t id) const;
    std::uint32_t TimerPeriod(os::Window window, std::uintptr_t id) const;

    struct CopyRecord {
        os::Window target;
        os::Window from;
        std::uintptr_t tag;
        std::string bytes;
    };
    const std::vector<CopyRecord>& CopiesSent() const { return m_copies; }

    struct Tray {
        bool shown = false;
        std::uint32_t id = 0;
        std::uint32_t callbackMessage = 0;
        std::string tip;
        int adds = 0;
        int deletes = 0;
        // Every balloon shown, as "title|text", with "!" before the title for a warning.
        std::vector<std::string> balloons;
    };
    const Tray& TrayIcon() const { return m_tray; }

    bool QuitPosted() const { return m_bQuit; }
    // Posted messages that may wait at once; Windows' default per thread.
    std::size_t postLimit = 10000;
    std::size_t PostedWaiting() const { return m_nPostedWaiting; }
    bool failRegisterClass = false;
    bool failCreateMainWindow = false;
    bool failCreateGate = false;

private:
    os::Window NewWindow(os::IWindowProc* proc, os::Window parent, const std::string& className, bool gate);
    void ScheduleTick(os::Window window, std::uintptr_t id, std::uint64_t generation, std::uint32_t periodMs);

    struct Timer {
        std::uint32_t periodMs;
        std::uint64_t generation;
    };

    CSimPump& m_pump;
    std::map<os::Window, Info> m_windows;
    std::vector<std::string> m_classes;
    std::map<std::pair<os::Window, std::uintptr_t>, Timer> m_timers;
    std::uint64_t m_nTimerGeneration = 0;
    os::Window m_hNext = 0x10010;
    std::vector<CopyRecord> m_copies;
    Tray m_tray;
    bool m_bQuit = false;
    std::size_t m_nPostedWaiting = 0;
};

}  // namespace sim
