// win32-platform-test [COMn]: checks the Win32 platform where it can go wrong on a real system and
// no run of the driver shows it plainly: the module name, the DLL search, the clock's pauses and
// waits, the message pump, the bound of a transfer's wait, and, given a port with a family 0
// printer behind it, the serial device itself and the driver's wait for a passbook on it (it wakes
// when the printer's answers arrive, not once a millisecond). (The Korean texts of the message boxes
// and the loading of the printer library are seen through the driver: e2e.fault.library,
// e2e.client.family2.) Prints each failed check and exits with the number of failures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comm/comm.h"
#include "os/win32/win32_library.h"
#include "os/win32/win32_platform.h"

namespace {

int g_failures = 0;

// Prints and counts a failed check: `what` is `actual`, outside [low, high] (a condition is 0 or 1).
void Check(long long actual, long long low, long long high, const char* what, int line) {
    if (actual < low || actual > high) {
        std::printf("line %d: failed: %s is %lld, expected %lld to %lld\n", line, what, actual, low, high);
        ++g_failures;
    }
}

#define CHECK(condition) Check((condition) ? 1 : 0, 1, 1, #condition, __LINE__)
#define CHECK_RANGE(actual, low, high) Check(static_cast<long long>(actual), low, high, #actual, __LINE__)
#define CHECK_EQ(actual, expected) CHECK_RANGE(actual, expected, expected)

// With a DLL of this name in the current folder (and not beside the program; win32_platform_test.sh
// puts it there): the current folder is searched before the search is hardened and never after,
// while a load by full path still works.
constexpr char kDecoy[] = "lodevar_decoy.dll";

// Whether a load by name alone finds the DLL (freed again at once).
bool LoadsByName(const char* name) {
    HMODULE found = LoadLibraryA(name);
    return found != nullptr && FreeLibrary(found);
}

void TestDllSearch(win32::CWin32LibraryLoader& loader) {
    CHECK(LoadsByName(kDecoy));  // the premise: the current folder is searched at first
    CHECK(win32::HardenDllSearch());
    CHECK(!LoadsByName(kDecoy));
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    os::Handle library = loader.Load((std::string(folder) + "\\" + kDecoy).c_str());
    CHECK(library != 0);
    loader.Free(library);
}

std::vector<std::pair<UINT, WPARAM>> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_KEYFIRST && message <= WM_APP + 10) {
        g_received.emplace_back(message, wParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Drain(win32::CWin32Pump& pump) {
    for (int i = 0; i < 1000 && pump.DispatchOne(); ++i) {
    }
    g_received.clear();
}

// Milliseconds measured with the performance counter. The tick counter cannot time short waits:
// it moves in steps of about 16 ms (under Wine as on Windows).
long long NowMs() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

// How long `passes` runs of `step` take.
template <typename Step>
long long MsOf(int passes, Step step) {
    const long long begun = NowMs();
    for (int i = 0; i < passes; ++i) {
        step();
    }
    return NowMs() - begun;
}

void TestClock(win32::CWin32Clock& clock, win32::CWin32Pump& pump, HWND window) {
    std::uint32_t start = clock.Ticks();
    CHECK_RANGE(MsOf(1, [&] { clock.Sleep(100); }), 99, 5000);
    CHECK_RANGE(clock.Ticks() - start, 100 - 17, 5000);
    // Pauses end when they are due, not on a 15.6 ms tick (20 of them would take 312 ms at least);
    // with a tick set, each ends on the next tick.
    CHECK_RANGE(MsOf(20, [&] { clock.Sleep(2); }), 39, 299);
    win32::CWin32Clock coarse(15625);
    CHECK_RANGE(MsOf(5, [&] { coarse.Sleep(1); }), 70, 500);

    // With nothing queued and no wake handle, a wait lasts until its deadline.
    const auto idle = [&clock](std::uint32_t ms, HANDLE wake = nullptr) {
        return
            [&clock, ms, wake] { clock.IdleUntil(clock.Ticks() + ms, reinterpret_cast<os::Handle>(wake)); };
    };
    Drain(pump);
    CHECK_RANGE(MsOf(1, idle(50)), 30, 2000);

    // A message that is already in the queue, and has been seen there, ends every wait at once: 200
    // waits of up to a second take less than one.
    PostMessageA(window, WM_APP, 0, 0);
    MSG seen;
    CHECK(PeekMessageA(&seen, nullptr, 0, 0, PM_NOREMOVE) != FALSE);
    CHECK_RANGE(MsOf(200, idle(1000)), 0, 999);
    Drain(pump);

    // So does a wake handle that is signalled, and one that is signalled during the wait ends it then
    // (a timer due in 50 ms).
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CHECK_RANGE(MsOf(200, idle(1000, event)), 0, 999);
    CloseHandle(event);
    HANDLE timer = CreateWaitableTimerA(nullptr, TRUE, nullptr);
    const LARGE_INTEGER due{.QuadPart = -50 * 10000};
    CHECK(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
    CHECK_RANGE(MsOf(1, idle(5000, timer)), 40, 2000);
    CloseHandle(timer);
}

void TestPump(win32::CWin32Pump& pump, HWND window) {
    Drain(pump);
    os::KeyMessage key;
    CHECK(!pump.PeekKeyMessage(key) && !pump.DispatchOne());  // nothing queued

    // Messages are dispatched in the order posted (a key press adds its character after them). The key
    // look-up skips other messages, reports the first key-range message and leaves it where it is.
    const std::vector<std::pair<UINT, WPARAM>> posted = {
        {WM_APP, 0}, {WM_CHAR, 'a'}, {WM_KEYDOWN, VK_ESCAPE}};
    for (const auto& [message, wParam] : posted) {
        PostMessageA(window, message, wParam, 0);
    }
    for (int look = 0; look < 2; ++look) {
        key = os::KeyMessage{};
        CHECK(pump.PeekKeyMessage(key) && key.message == WM_CHAR && key.wParam == 'a');
    }
    for (std::size_t i = 0; i < posted.size(); ++i) {
        CHECK(pump.DispatchOne());
    }
    CHECK(g_received.size() >= posted.size() && std::equal(posted.begin(), posted.end(), g_received.begin()));
    Drain(pump);

    // A quit taken out by a wait loop is left for the program's main loop.
    PostQuitMessage(7);
    CHECK(pump.DispatchOne());
    MSG quit{};
    CHECK(PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE) && quit.message == WM_QUIT && quit.wParam == 7);
}

// The device as the driver opens it (CComm::OpenPort), with a family 0 printer behind it, which
// answers ESC 'j' with STX x 'r' s ETX.
void TestSerialDevice(win32::CWin32Serial& serial, CComm& comm) {
    const os::Handle device = comm.m_hPort;
    std::uint32_t done = 0;
    const auto ask = [&] { return serial.Write(device, comm.m_osWrite, "\x1bj", 2, done) && done == 2; };
    char reply[8] = {};
    // Reads up to `n` bytes to `at` in the reply: how many came.
    const auto read = [&](std::uint32_t at, std::uint32_t n) {
        done = 99;
        serial.Read(device, comm.m_osRead, reply + at, n, done);
        return done;
    };
    const auto isReply = [&] { return reply[0] == 0x02 && reply[2] == 'r' && reply[4] == 0x03; };

    os::LineSettings back;
    CHECK(serial.GetLineSettings(device, back) && back.baudRate == 9600 && back.byteSize == 8 &&
          back.parity == 0 && back.stopBits == 0 && back.outX && back.inX && back.xonChar == 0x11 &&
          back.xoffChar == 0x13);
    std::uint32_t status = 0;
    CHECK(serial.ModemStatus(device, status) && (status & os::kModemCtsOn) != 0);
    CHECK_EQ(serial.BytesWaiting(device), 0);

    // Reading when nothing waits comes back within the read time-out, empty.
    CHECK_RANGE(MsOf(1, [&] { read(0, 4); }), 0, 1999);
    CHECK_EQ(done, 0);

    // The wake handle is the event of a read-ahead: signalled when the reply's first byte arrives,
    // which the read-ahead holds. It counts among the bytes waiting and is read first; a read of one
    // byte takes that byte alone. The emulator answers within milliseconds, but on a loaded machine
    // it may not run for a while: up to 10 s for the rest of the reply.
    HANDLE wake = reinterpret_cast<HANDLE>(serial.WakeHandle(device));
    CHECK(wake != nullptr);
    CHECK_EQ(WaitForSingleObject(wake, 0), WAIT_TIMEOUT);
    CHECK(ask());
    CHECK_EQ(WaitForSingleObject(wake, 10000), WAIT_OBJECT_0);
    for (int i = 0; i < 1000 && serial.BytesWaiting(device) < 5; ++i) {
        Sleep(10);
    }
    CHECK_EQ(serial.BytesWaiting(device), 5);
    CHECK(read(0, 1) == 1 && serial.BytesWaiting(device) == 4 && read(1, 4) == 4 && isReply());
    // Bytes that Wine leaves in the queue while the read-ahead still waits (it serves the read only
    // while the thread waits, and this loop does not) are still read in order.
    serial.WakeHandle(device);
    CHECK(ask());
    for (const long long until = NowMs() + 2000; serial.BytesWaiting(device) < 5 && NowMs() < until;) {
    }
    std::memset(reply, 0, sizeof(reply));
    CHECK(read(0, 5) == 5 && isReply());
    // A purge of the input drops the reply, and the byte the read-ahead holds.
    wake = reinterpret_cast<HANDLE>(serial.WakeHandle(device));
    CHECK(ask());
    CHECK_EQ(WaitForSingleObject(wake, 2000), WAIT_OBJECT_0);
    Sleep(50);  // the rest of the reply arrives
    CHECK(serial.Purge(device, os::kPurgeRxClear));
    CHECK_EQ(serial.BytesWaiting(device), 0);
}

// The clock of the driver's waits, counting how often a wait ends.
struct CountingClock : os::IClock {
    explicit CountingClock(os::IClock& clock) : real(clock) {}
    std::uint32_t Ticks() override { return real.Ticks(); }
    void Sleep(std::uint32_t ms) override { real.Sleep(ms); }
    void IdleUntil(std::uint32_t deadline, os::Handle wake) override {
        ++wakeups;
        real.IdleUntil(deadline, wake);
    }
    os::IClock& real;
    long long wakeups = 0;
};

CComm* g_waiting = nullptr;

void CALLBACK InterruptWait(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_waiting->InterruptWaits();
}

// The processor time of this process in milliseconds (FILETIME counts 100 ns).
double CpuMs() {
    FILETIME unused, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &unused, &unused, &kernel, &user);
    const auto ms = [](FILETIME time) {
        return (time.dwHighDateTime * 4294967296.0 + time.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

// The serial device, then the driver's wait for a passbook on a family 0 printer with nothing in, for
// 10 s (a timer then ends it, as closing the driver does): its waits end when the printer's answers
// arrive, about once per status exchange (one every 100 ms), not once a millisecond.
void TestPrinterPort(win32::CWin32Platform& real, const char* port) {
    CountingClock clock(real.clock);
    os::Platform platform{real.serial,  clock,       real.pump,    real.library,
                          real.desktop, real.module, real.windows, real.system};
    CComm comm(platform);
    CHECK(comm.OpenPort(static_cast<std::uint8_t>(std::atoi(port + 3)), 9600, 8, 0, 0) != 0);
    if (comm.m_hPort == 0) {
        return;
    }
    TestSerialDevice(real.serial, comm);
    comm.m_nFamily = 0;
    g_waiting = &comm;
    SetTimer(nullptr, 0, 10000, InterruptWait);
    const long long begun = NowMs();
    const double cpu = CpuMs();
    const int result = comm.PaperIn(0);
    const long long elapsed = NowMs() - begun;
    std::printf("passbook wait: %lld ms, %lld wake-ups, %.0f ms of processor time\n", elapsed, clock.wakeups,
                CpuMs() - cpu);
    CHECK(result == 242 || result == 27);  // ended by the timer
    CHECK_RANGE(elapsed, 9900, 15000);
    CHECK_RANGE(clock.wakeups, 20, 500);
    CHECK_RANGE(CpuMs() - cpu, 0, elapsed / 20);  // no spinning

    // Closing with the read-ahead under way cancels it and sees it end, at once.
    CHECK(real.serial.WakeHandle(comm.m_hPort) != 0);
    CHECK_RANGE(MsOf(1, [&] { comm.ClosePort(); }), 0, 499);
    // A device that is gone is not mistaken for one without modem lines.
    std::uint32_t status = 0;
    CHECK(!real.serial.ModemStatus(comm.m_hPort, status));
}

}  // namespace

int main(int argc, char** argv) {
    win32::CWin32Platform platform;
    // The module's name, whole and cut short.
    const std::string full = platform.module.FileName(255);
    const std::string tail = "\\win32-platform-test.exe";
    CHECK(full.size() > tail.size() && _stricmp(full.c_str() + full.size() - tail.size(), tail.c_str()) == 0);
    CHECK(platform.module.FileName(4) == full.substr(0, 4));
    CHECK(platform.module.FileName(0).empty());

    TestDllSearch(platform.library);
    // A message-only window whose messages RecordingProc keeps.
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    CHECK(SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)) != 0);
    TestClock(platform.clock, platform.pump, window);
    TestPump(platform.pump, window);
    // No total time-out on the device still bounds a transfer's wait; huge ones do not overflow it.
    CHECK_EQ(win32::CWin32Serial::WaitBound(0, 0, 100), 1500);
    CHECK_EQ(win32::CWin32Serial::WaitBound(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 60500);
    if (argc > 1) {
        TestPrinterPort(platform, argv[1]);
    }
    std::printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
