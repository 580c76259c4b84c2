#pragma once

#include <cstdint>

#include "os/clock.h"

namespace win32 {

// The system tick counter, pauses that end when they are due, and waits that end on a window
// message, on a device's input (its wake handle) or at their deadline.
//
// Windows' timer resolution: a process that asks for nothing gets the default 15.6 ms tick, and
// since Windows 10 2004 a raised resolution (timeBeginPeriod) is per process, and Windows 11 ignores
// it for a process whose windows are all hidden, as this driver's are. So nothing here depends on
// the resolution where it matters: a wait ends when the printer's byte arrives (the wake handle),
// whatever the tick, and a pause runs on a high-resolution waitable timer (Windows 10 1803 and
// later; before that, timeBeginPeriod(1) is asked for the length of the pause). Only a wait's
// time-out ends on the tick, up to 15.6 ms late; time-outs end failures, not exchanges.
//
// Where the system's own Sleep already ends within a millisecond of its due time (found at the first pause:
// Wine, or a Windows whose timer resolution is raised), a pause is a plain Sleep: the timer
// costs more there (under Wine two server requests and a wake-up by the server for every pause,
// against none). Plain pauses that end late several times in a row make every later pause use the
// timer.
class CWin32Clock : public os::IClock {
public:
    // `tickUs` 0: as above. Otherwise every pause and every wait's time-out ends on the next tick of
    // that many microseconds, as they would at the default resolution without the high-resolution
    // timer (15625): the benchmark's figure for such a PC. LODEVAR_TIMER_TICK_US sets it for a program.
    explicit CWin32Clock(std::uint32_t tickUs = TickFromEnvironment());
    ~CWin32Clock() override;
    CWin32Clock(const CWin32Clock&) = delete;
    CWin32Clock& operator=(const CWin32Clock&) = delete;

    std::uint32_t Ticks() override;
    void Sleep(std::uint32_t ms) override;
    void IdleUntil(std::uint32_t deadline, os::Handle wake) override;

    // LODEVAR_TIMER_TICK_US as a number of microseconds (1 to 1000000), else 0.
    static std::uint32_t TickFromEnvironment();

private:
    // Microseconds from now to the end of a span of `us`: the span itself, or with a tick set, to
    // the first tick at or after its end.
    std::uint64_t SpanUs(std::uint64_t us) const;
    std::uint64_t NowUs() const;
    // Whether Sleep(1) ends within two milliseconds, four times before it is late three times.
    bool SleepIsPrecise() const;

    std::uint32_t m_nTickUs;
    void* m_hTimer;  // a high-resolution waitable timer, or null where Windows has none
    std::int64_t m_nFrequency;
    std::int64_t m_nOrigin;
    bool m_bSleepProbed = false;   // the first pause has found out how Sleep ends
    bool m_bPreciseSleep = false;  // pauses are plain Sleeps (see above)
    int m_nLatePauses = 0;         // plain pauses in a row that ended late
};

}  // namespace win32
