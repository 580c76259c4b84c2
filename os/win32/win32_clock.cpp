#include "os/win32/win32_clock.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>

#include "os/win32/win32_handle.h"

namespace win32 {

namespace {

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION (Windows 10 1803), which the mingw headers do not name.
// Older Windows refuses the flag, and the clock has no timer.
constexpr DWORD kHighResolutionTimer = 0x00000002;

// A pause's timer is waited for at most this much longer than the pause: a guard, not a time-out.
constexpr DWORD kTimerGuardMs = 1000;

// A system whose Sleep(1) ends within this many microseconds, nearly every time, sleeps to the
// millisecond.
constexpr std::uint64_t kPreciseSleepUs = 2000;
constexpr int kPromptProbes = 4;  // Sleep(1) that ended so: the system sleeps to the millisecond
constexpr int kLateProbes = 3;    // Sleep(1) that did not: it does not
// One whose pauses end later than this after they were due, several in a row, no longer does: a
// 15.6 ms tick makes most pauses that late, a busy machine now and then one.
constexpr std::uint64_t kLatePauseUs = 4000;
constexpr int kLatePausesToSwitch = 3;

}  // namespace

std::uint32_t CWin32Clock::TickFromEnvironment() {
    const char* value = std::getenv("LODEVAR_TIMER_TICK_US");
    const unsigned long us = value != nullptr ? std::strtoul(value, nullptr, 10) : 0;
    return us <= 1000000 ? static_cast<std::uint32_t>(us) : 0;
}

CWin32Clock::CWin32Clock(std::uint32_t tickUs)
    : m_nTickUs(tickUs),
      m_hTimer(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS)) {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    m_nFrequency = frequency.QuadPart;
    m_nOrigin = counter.QuadPart;
}

CWin32Clock::~CWin32Clock() {
    if (m_hTimer != nullptr) {
        CloseHandle(m_hTimer);
    }
}

std::uint32_t CWin32Clock::Ticks() {
    return GetTickCount();
}

std::uint64_t CWin32Clock::NowUs() const {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const auto elapsed = static_cast<std::uint64_t>(counter.QuadPart - m_nOrigin);
    const auto frequency = static_cast<std::uint64_t>(m_nFrequency);
    return elapsed / frequency * 1000000u + elapsed % frequency * 1000000u / frequency;
}

std::uint64_t CWin32Clock::SpanUs(std::uint64_t us) const {
    if (m_nTickUs == 0) {
        return us;
    }
    const std::uint64_t now = NowUs();
    const std::uint64_t end = now + us;
    return (end + m_nTickUs - 1) / m_nTickUs * m_nTickUs - now;
}

bool CWin32Clock::SleepIsPrecise() const {
    // The first Sleep(1) may end early on a coarse tick (it ends at the next tick, which may be
    // near); those after it start on a tick and last a whole one. A busy machine makes one late now and
    // then, a coarse tick every one.
    ::Sleep(1);
    int prompt = 0;
    int late = 0;
    while (prompt < kPromptProbes && late < kLateProbes) {
        const std::uint64_t begun = NowUs();
        ::Sleep(1);
        ++(NowUs() - begun <= kPreciseSleepUs ? prompt : late);
    }
    return prompt == kPromptProbes;
}

void CWin32Clock::Sleep(std::uint32_t ms) {
    if (ms == 0) {
        ::Sleep(0);
        return;
    }
    const std::uint64_t us = SpanUs(static_cast<std::uint64_t>(ms) * 1000u);
    if (!m_bSleepProbed) {
        // Found at the first pause, not at start: on a 15.6 ms tick the probe takes about 60 ms,
        // which the start-up signal should not wait for.
        m_bSleepProbed = true;
        m_bPreciseSleep = m_nTickUs == 0 && SleepIsPrecise();
    }
    if (m_bPreciseSleep) {
        const std::uint64_t begun = NowUs();
        ::Sleep(ms);
        // A late pause now and then is the machine's load; several in a row are a timer resolution
        // that has dropped since the start (a Windows whose resolution is global, raised by another
        // program that has ended): the next pauses use the timer.
        m_nLatePauses = NowUs() - begun > us + kLatePauseUs ? m_nLatePauses + 1 : 0;
        m_bPreciseSleep = m_nLatePauses < kLatePausesToSwitch;
        return;
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(us * 10u);  // relative, in 100 ns units
    if (m_hTimer != nullptr && SetWaitableTimer(m_hTimer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(m_hTimer, static_cast<DWORD>(us / 1000u) + kTimerGuardMs);
        return;
    }
    // No high-resolution timer: the resolution is raised for the pause alone (where Windows grants it).
    timeBeginPeriod(1);
    ::Sleep(static_cast<DWORD>((us + 999u) / 1000u));
    timeEndPeriod(1);
}

void CWin32Clock::IdleUntil(std::uint32_t deadline, os::Handle wake) {
    const auto left = static_cast<std::int32_t>(deadline - GetTickCount());
    DWORD timeout = 0;
    if (left > 0) {
        timeout = static_cast<DWORD>((SpanUs(static_cast<std::uint64_t>(left) * 1000u) + 999u) / 1000u);
    }
    // MWMO_INPUTAVAILABLE: a message that is already in the queue (one a PeekMessage has seen but
    // left there) ends the wait at once, not only one that arrives during it.
    HANDLE handle = ToHandle(wake);
    MsgWaitForMultipleObjectsEx(wake != 0 ? 1 : 0, wake != 0 ? &handle : nullptr, timeout, QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
}

}  // namespace win32
