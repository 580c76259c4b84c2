#include "os/sim/sim_windows.h"

#include <algorithm>
#include <cstring>

namespace sim {

os::Window CSimWindows::NewWindow(os::IWindowProc* proc, os::Window parent, const std::string& className,
                                  bool gate) {
    os::Window window = m_hNext;
    m_hNext += 0x10;  // handles step like the real ones, so a 16-bit key of each differs
    Info info;
    info.proc = proc;
    info.parent = parent;
    info.className = className;
    info.gate = gate;
    m_windows[window] = info;
    return window;
}

bool CSimWindows::RegisterMainClass(const char* className) {
    if (std::find(m_classes.begin(), m_classes.end(), className) != m_classes.end()) {
        return true;
    }
    if (failRegisterClass) {
        return false;
    }
    m_classes.emplace_back(className);
    return true;
}

os::Window CSimWindows::CreateMainWindow(const char* className, const char* windowName,
                                         os::IWindowProc& proc) {
    if (failCreateMainWindow || std::find(m_classes.begin(), m_classes.end(), className) == m_classes.end()) {
        return 0;
    }
    os::Window window = NewWindow(&proc, 0, className, false);
    m_windows[window].text = windowName;
    os::Message create;
    create.id = os::kWmCreate;
    if (Send(window, create) == -1) {
        Destroy(window);
        return 0;
    }
    return window;
}

os::Window CSimWindows::CreateGateWindow(os::Window parent, os::IWindowProc& proc) {
    if (failCreateGate || !IsWindow(parent)) {
        return 0;
    }
    os::Window window = NewWindow(&proc, parent, "", true);
    os::Message create;
    create.id = os::kWmCreate;
    if (Send(window, create) == -1) {
        Destroy(window);
        return 0;
    }
    return window;
}

void CSimWindows::Destroy(os::Window window) {
    if (!IsWindow(window)) {
        return;
    }
    os::Message destroy;
    destroy.id = os::kWmDestroy;
    Send(window, destroy);
    for (os::Window child : LiveChildren(window)) {
        Destroy(child);
    }
    m_windows[window].alive = false;
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        it = it->first.first == window ? m_timers.erase(it) : std::next(it);
    }
}

bool CSimWindows::IsWindow(os::Window window) {
    auto it = m_windows.find(window);
    return it != m_windows.end() && it->second.alive;
}

void CSimWindows::Show(os::Window window, int showCommand) {
    if (IsWindow(window)) {
        m_windows[window].showCommand = showCommand;
    }
}

void CSimWindows::SetText(os::Window window, const char* text) {
    if (IsWindow(window)) {
        m_windows[window].text = text;
    }
}

bool CSimWindows::Post(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
    if (!IsWindow(window) || m_nPostedWaiting >= postLimit) {
        return false;
    }
    ++m_nPostedWaiting;
    m_pump.Post(message, wParam, [this, window, message, wParam, lParam] {
        --m_nPostedWaiting;
        os::Message posted;
        posted.id = message;
        posted.wParam = wParam;
        posted.lParam = lParam;
        Send(window, posted);
    });
    return true;
}

std::intptr_t CSimWindows::Send(os::Window window, const os::Message& message) {
    if (!IsWindow(window)) {
        return 0;
    }
    os::IWindowProc* proc = m_windows[window].proc;
    if (proc == nullptr) {
        return 0;
    }
    os::MessageResult result = proc->OnMessage(window, message);
    if (!result.handled && message.id == os::kWmClose) {
        Destroy(window);  // the default processing of WM_CLOSE
    }
    return result.value;
}

std::intptr_t CSimWindows::SendCopyData(os::Window target, os::Window from, std::uintptr_t tag,
                                        const void* data, std::uint32_t size) {
    std::string bytes(size, '\0');
    if (data != nullptr && size > 0) {
        std::memcpy(bytes.data(), data, size);
    }
    m_copies.push_back(CopyRecord{target, from, tag, bytes});
    if (!IsWindow(target)) {
        return 0;
    }
    // The receiver gets its own copy of the block, as across processes.
    std::string received = bytes;
    os::Message message;
    message.id = os::kWmCopyData;
    message.wParam = from;
    message.copyTag = tag;
    message.copySize = size;
    message.copyData = data != nullptr ? received.data() : nullptr;
    return Send(target, message);
}

void CSimWindows::ScheduleTick(os::Window window, std::uintptr_t id, std::uint64_t generation,
                               std::uint32_t periodMs) {
    m_pump.Post(
        os::kWmTimer, id,
        [this, window, id, generation] {
            auto it = m_timers.find({window, id});
            if (it == m_timers.end() || it->second.generation != generation) {
                return;
            }
            ScheduleTick(window, id, generation, it->second.periodMs);
            os::Message tick;
            tick.id = os::kWmTimer;
            tick.wParam = id;
            Send(window, tick);
        },
        periodMs);
}

void CSimWindows::SetTimer(os::Window window, std::uintptr_t id, std::uint32_t periodMs) {
    if (!IsWindow(window)) {
        return;
    }
    std::uint64_t generation = ++m_nTimerGeneration;
    m_timers[{window, id}] = Timer{periodMs, generation};
    ScheduleTick(window, id, generation, periodMs);
}

void CSimWindows::KillTimer(os::Window window, std::uintptr_t id) {
    m_timers.erase({window, id});
}

bool CSimWindows::TimerSet(os::Window window, std::uintptr_t id) const {
    return m_timers.count({window, id}) != 0;
}

std::uint32_t CSimWindows::TimerPeriod(os::Window window, std::uintptr_t id) const {
    auto it = m_timers.find({window, id});
    return it == m_timers.end() ? 0 : it->second.periodMs;
}

bool CSimWindows::AddTrayIcon(os::Window owner, std::uint32_t id, std::uint32_t callbackMessage,
                              const char* tip) {
    (void)owner;
    m_tray.shown = true;
    m_tray.id = id;
    m_tray.callbackMessage = callbackMessage;
    m_tray.tip = tip;
    ++m_tray.adds;
    return true;
}

void CSimWindows::DeleteTrayIcon(os::Window owner, std::uint32_t id) {
    (void)owner;
    if (id == m_tray.id) {
        m_tray.shown = false;
    }
    ++m_tray.deletes;
}

bool CSimWindows::SetTrayTip(os::Window owner, std::uint32_t id, const char* tip) {
    (void)owner;
    if (!m_tray.shown || id != m_tray.id) {
        return false;
    }
    m_tray.tip = tip;
    return true;
}

bool CSimWindows::ShowTrayBalloon(os::Window owner, std::uint32_t id, const char* title, const char* text,
                                  bool warning) {
    (void)owner;
    if (!m_tray.shown || id != m_tray.id) {
        return false;
    }
    m_tray.balloons.push_back(std::string(warning ? "!" : "") + title + "|" + text);
    return true;
}

os::Window CSimWindows::CreateClientWindow(os::IWindowProc& proc) {
    return NewWindow(&proc, 0, "client", false);
}

const CSimWindows::Info* CSimWindows::Find(os::Window window) const {
    auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : &it->second;
}

std::vector<os::Window> CSimWindows::LiveChildren(os::Window parent) const {
    std::vector<os::Window> children;
    for (const auto& [window, info] : m_windows) {
        if (info.alive && info.parent == parent && parent != 0) {
            children.push_back(window);
        }
    }
    return children;
}

}  // namespace sim
