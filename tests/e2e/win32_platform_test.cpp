// win32-platform-test [COMn]: checks the Win32 platform where it can go wrong on a real system and
// no run of the driver shows it plainly: the module name, the DLL search, the clock's pauses and
// waits, the message pump, the bound of a transfer's wait, and, given a port with a family 0
// printer behind it, the serial device itself. (The Korean texts of the message boxes and the
// loading of the printer library are seen through the driver: e2e.fault.library,
// e2e.client.family2.) Given the port, also the driver's wait for a passbook: it wakes when the
// printer's answers arrive, not once a millisecond. Prints each failed check and exits with the
// number of failures.
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

void TestModule(win32::CWin32Module& module) {
    std::string full = module.FileName(255);
    const std::string tail = "\\win32-platform-test.exe";
    CHECK(full.size() > tail.size() && _stricmp(full.c_str() + full.size() - tail.size(), tail.c_str()) == 0);
    std::string cut = module.FileName(4);
    CHECK(cut.size() == 4 && full.compare(0, 4, cut) == 0);
    CHECK(module.FileName(0).empty());
}

// With a DLL of this name in the current folder (and not beside the program): the current folder is
// searched before the search is hardened and never after, while a load by full path still works.
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

HWND MakeWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "LodevarPlatformTest";
    RegisterClassA(&windowClass);
    return CreateWindowA("LodevarPlatformTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
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

// How long `passes` waits of up to `ms` each take.
long long IdleMs(win32::CWin32Clock& clock, int passes, std::uint32_t ms, os::Handle wake = 0) {
    const long long begun = NowMs();
    for (int i = 0; i < passes; ++i) {
        clock.IdleUntil(clock.Ticks() + ms, wake);
    }
    return NowMs() - begun;
}

// How long `passes` pauses of `ms` each take.
long long PauseMs(win32::CWin32Clock& clock, int passes, std::uint32_t ms) {
    const long long begun = NowMs();
    for (int i = 0; i < passes; ++i) {
        clock.Sleep(ms);
    }
    return NowMs() - begun;
}

DWORD WINAPI SetAfter50Ms(void* event) {
    Sleep(50);
    SetEvent(event);
    return 0;
}

void TestClock(win32::CWin32Clock& clock, win32::CWin32Pump& pump, HWND window) {
    std::uint32_t start = clock.Ticks();
    const long long begun = NowMs();
    clock.Sleep(100);
    CHECK_RANGE(NowMs() - begun, 99, 5000);
    CHECK_RANGE(clock.Ticks() - start, 100 - 17, 5000);
    // Pauses end when they are due, not on a 15.6 ms tick (20 of them would take 312 ms at least);
    // with a tick set, each ends on the next tick.
    CHECK_RANGE(PauseMs(clock, 20, 2), 39, 299);
    win32::CWin32Clock coarse(15625);
    CHECK_RANGE(PauseMs(coarse, 5, 1), 70, 500);

    // With nothing queued and no wake handle, a wait lasts until its deadline.
    Drain(pump);
    CHECK_RANGE(IdleMs(clock, 1, 50), 30, 2000);

    // A message that is already in the queue, and has been seen there, ends every wait at once: 200
    // waits of up to a second take less than one.
    PostMessageA(window, WM_APP, 0, 0);
    MSG seen;
    CHECK(PeekMessageA(&seen, nullptr, 0, 0, PM_NOREMOVE) != FALSE);
    CHECK_RANGE(IdleMs(clock, 200, 1000), 0, 999);
    Drain(pump);

    // So does a wake handle that is signalled, and one that is signalled during the wait ends it then.
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    CHECK_RANGE(IdleMs(clock, 200, 1000, reinterpret_cast<os::Handle>(event)), 0, 999);
    ResetEvent(event);
    HANDLE setter = CreateThread(nullptr, 0, SetAfter50Ms, event, 0, nullptr);
    CHECK_RANGE(IdleMs(clock, 1, 5000, reinterpret_cast<os::Handle>(event)), 40, 2000);
    WaitForSingleObject(setter, 5000);
    CloseHandle(setter);
    CloseHandle(event);
}

void TestPump(win32::CWin32Pump& pump, HWND window) {
    Drain(pump);
    os::KeyMessage key;
    CHECK(!pump.PeekKeyMessage(key) && !pump.DispatchOne());  // nothing queued

    // Messages are dispatched in the order posted. The key look-up skips other messages, reports the
    // first key-range message and leaves it where it is.
    const struct {
        std::vector<std::pair<UINT, WPARAM>> posted;
        UINT key;  // 0: none
        WPARAM keyParam;
    } cases[] = {{{{WM_APP + 1, 42}}, 0, 0},
                 {{{WM_APP, 0}, {WM_CHAR, 'a'}, {WM_KEYDOWN, VK_ESCAPE}}, WM_CHAR, 'a'},
                 {{{WM_KEYDOWN, VK_ESCAPE}}, WM_KEYDOWN, VK_ESCAPE}};
    for (const auto& c : cases) {
        Drain(pump);
        for (const auto& [message, wParam] : c.posted) {
            PostMessageA(window, message, wParam, 0);
        }
        for (int look = 0; look < 2; ++look) {
            key = os::KeyMessage{};
            CHECK_EQ(pump.PeekKeyMessage(key), c.key != 0);
            CHECK(key.message == c.key && key.wParam == c.keyParam);
        }
        for (std::size_t i = 0; i < c.posted.size(); ++i) {
            CHECK(pump.DispatchOne());
        }
        CHECK(g_received.size() >= c.posted.size() &&
              std::equal(c.posted.begin(), c.posted.end(), g_received.begin()));
    }
    Drain(pump);

    // A quit taken out by a wait loop is left for the program's main loop.
    PostQuitMessage(7);
    CHECK(pump.DispatchOne());
    MSG quit{};
    CHECK(PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE) && quit.message == WM_QUIT && quit.wParam == 7);
}

// No total time-out on the device still bounds a transfer's wait; huge ones do not overflow it.
void TestWaitBound() {
    CHECK_EQ(win32::CWin32Serial::WaitBound(0, 0, 100), 1500);
    CHECK_EQ(win32::CWin32Serial::WaitBound(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 60500);
}

// Waits up to 10 s for at least `count` bytes: the emulator answers within milliseconds, but on a
// loaded machine it may not run for a while.
std::uint32_t AwaitBytes(win32::CWin32Serial& serial, os::Handle device, std::uint32_t count) {
    std::uint32_t waiting = 0;
    for (int i = 0; i < 1000 && (waiting = serial.BytesWaiting(device)) < count; ++i) {
        Sleep(10);
    }
    return waiting;
}

// The port must have a family 0 printer behind it, which answers ESC 'j' with STX x 'r' s ETX.
void TestSerialDevice(win32::CWin32Serial& serial, const char* port) {
    os::Handle device = serial.Open(port);
    CHECK(device != 0);
    if (device == 0) {
        return;
    }
    CHECK(serial.SetEventMask(device, os::kEventRxChar));
    CHECK(serial.SetupQueues(device, 4096, 4096));
    CHECK(serial.Purge(device, os::kPurgeAll));
    CHECK(serial.SetTimeouts(
        device, {.readInterval = 0xFFFFFFFFu, .readTotalConstant = 1000, .writeTotalConstant = 1000}));

    os::LineSettings settings;
    CHECK(serial.GetLineSettings(device, settings));
    settings.baudRate = 9600;
    settings.byteSize = 8;
    settings.parity = 0;
    settings.stopBits = 0;
    settings.outX = settings.inX = true;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    CHECK(serial.SetLineSettings(device, settings));
    os::LineSettings back;
    CHECK(serial.GetLineSettings(device, back) && back.baudRate == 9600 && back.byteSize == 8 &&
          back.parity == 0 && back.stopBits == 0 && back.outX && back.inX && back.xonChar == 0x11 &&
          back.xoffChar == 0x13);

    std::uint32_t status = 0;
    CHECK(serial.ModemStatus(device, status) && (status & os::kModemCtsOn) != 0);

    os::IoBlock readBlock{.event = serial.CreateIoEvent()};
    os::IoBlock writeBlock{.event = serial.CreateIoEvent()};
    CHECK_EQ(serial.BytesWaiting(device), 0);

    // Reading when nothing waits comes back within the read time-out, empty.
    char buffer[64] = {};
    std::uint32_t done = 99;
    long long begun = NowMs();
    serial.Read(device, readBlock, buffer, 4, done);
    CHECK_RANGE(NowMs() - begun, 0, 1999);
    CHECK_EQ(done, 0);

    std::uint32_t written = 0;
    CHECK(serial.Write(device, writeBlock, "\x1bj", 2, written) && written == 2);
    const std::uint32_t waiting = AwaitBytes(serial, device, 5);
    CHECK_RANGE(waiting, 5, 64);
    if (waiting >= 5 && waiting <= 64) {
        // A read of one waiting byte takes exactly that byte and leaves the rest.
        CHECK(serial.Read(device, readBlock, buffer, 1, done) && done == 1 && buffer[0] == 0x02);
        CHECK_EQ(serial.BytesWaiting(device), waiting - 1);
        CHECK(serial.Read(device, readBlock, buffer + 1, waiting - 1, done) && done == waiting - 1);
        CHECK(buffer[2] == 'r' && buffer[waiting - 1] == 0x03);
    }

    // A purge of the input drops a reply that has arrived.
    CHECK(serial.Write(device, writeBlock, "\x1bj", 2, written) && AwaitBytes(serial, device, 5) >= 5);
    CHECK(serial.Purge(device, os::kPurgeRxClear));
    CHECK_EQ(serial.BytesWaiting(device), 0);

    // The wake handle is the event of a read-ahead: signalled when the reply's first byte arrives,
    // which the read-ahead holds. It counts among the bytes waiting and is read first.
    HANDLE wake = reinterpret_cast<HANDLE>(serial.WakeHandle(device));
    CHECK(wake != nullptr);
    CHECK_EQ(WaitForSingleObject(wake, 0), WAIT_TIMEOUT);
    CHECK(serial.Write(device, writeBlock, "\x1bj", 2, written));
    CHECK_EQ(WaitForSingleObject(wake, 2000), WAIT_OBJECT_0);
    CHECK_EQ(AwaitBytes(serial, device, 5), 5);
    std::memset(buffer, 0, sizeof(buffer));
    CHECK(serial.Read(device, readBlock, buffer, 1, done) && done == 1 && buffer[0] == 0x02);
    CHECK(serial.Read(device, readBlock, buffer + 1, 4, done) && done == 4 && buffer[2] == 'r' &&
          buffer[4] == 0x03);
    // Bytes that Wine leaves in the queue while the read-ahead still waits (it serves the read only
    // while the thread waits, and this loop does not) are still read in order.
    serial.WakeHandle(device);
    CHECK(serial.Write(device, writeBlock, "\x1bj", 2, written));
    for (const long long until = NowMs() + 2000; serial.BytesWaiting(device) < 5 && NowMs() < until;) {
    }
    std::memset(buffer, 0, sizeof(buffer));
    CHECK(serial.Read(device, readBlock, buffer, 5, done) && done == 5 && buffer[0] == 0x02 &&
          buffer[2] == 'r' && buffer[4] == 0x03);
    // A purge of the input drops the byte the read-ahead holds.
    wake = reinterpret_cast<HANDLE>(serial.WakeHandle(device));
    CHECK(serial.Write(device, writeBlock, "\x1bj", 2, written));
    CHECK_EQ(WaitForSingleObject(wake, 2000), WAIT_OBJECT_0);
    Sleep(50);  // the rest of the reply arrives
    CHECK(serial.Purge(device, os::kPurgeRxClear));
    CHECK_EQ(serial.BytesWaiting(device), 0);

    serial.CloseIoEvent(readBlock.event);
    serial.CloseIoEvent(writeBlock.event);
    // Closing with the read-ahead under way cancels it and sees it end, at once.
    CHECK(serial.WakeHandle(device) != 0);
    begun = NowMs();
    serial.Close(device);
    CHECK_RANGE(NowMs() - begun, 0, 499);
    // A device that is gone is not mistaken for one without modem lines.
    CHECK(!serial.ModemStatus(device, status));
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

double CpuMs() {
    FILETIME creation, exit, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) |
                                   time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

// The driver's wait for a passbook on a family 0 printer with nothing in, for 10 s (a timer then
// ends it, as closing the driver does): its waits end when the printer's answers arrive, about once
// per status exchange (one every 100 ms), not once a millisecond.
void TestPassbookWait(win32::CWin32Platform& real, const char* port) {
    CountingClock clock(real.clock);
    os::Platform platform{real.serial,  clock,       real.pump,    real.library,
                          real.desktop, real.module, real.windows, real.system};
    CComm comm(platform);
    CHECK(comm.OpenPort(static_cast<std::uint8_t>(std::atoi(port + 3)), 9600, 8, 0, 0) != 0);
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
    comm.ClosePort();
}

}  // namespace

int main(int argc, char** argv) {
    win32::CWin32Platform platform;
    HWND window = MakeWindow();
    CHECK(window != nullptr);

    TestModule(platform.module);
    if (GetFileAttributesA(kDecoy) != INVALID_FILE_ATTRIBUTES) {
        TestDllSearch(platform.library);
    } else {
        std::printf("DLL search: not checked, no %s in the current folder\n", kDecoy);
    }
    if (window != nullptr) {
        TestClock(platform.clock, platform.pump, window);
        TestPump(platform.pump, window);
        DestroyWindow(window);
    }
    TestWaitBound();
    if (argc > 1) {
        TestSerialDevice(platform.serial, argv[1]);
        TestPassbookWait(platform, argv[1]);
    }
    std::printf("%d failure(s)\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
