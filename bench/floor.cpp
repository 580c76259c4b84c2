// bench-floor.exe: the least a driver can take for the teller transaction's exchanges on this machine.
// No driver code: it opens the port with the driver's line settings and time-outs, and does what the
// driver did on the line in the transaction (the steps lodevar-protocol-time --exchanges wrote: the
// same writes in the same order, the same pauses, and after each request the wait for the printer's
// answer), with the calls the driver waits with: a one-byte overlapped read kept under way whose event
// ends a MsgWaitForMultipleObjectsEx on the thread's queue, then the bytes waiting in one read; its
// pauses as the driver's clock takes them. Nothing else: no client request, no frame parsing, no
// status decision, no look for the cancel key, no trace.
//
//   bench-floor PORT STEPS [--no-purge]
//     PORT      the device, for example COM1
//     STEPS     the steps file (pause <ms> | write <hex> | purge | answer <hex>, one a line)
//     --no-purge   leave out the input purges the protocol asks for after each answer
// Output, the time from before the first step to the end of the last, and the processor time of the
// program meanwhile (user and kernel, as the system counts it), in milliseconds:
//   total <TAB> <ms>
//   cpu <TAB> <ms>
//   answers <TAB> <count> <TAB> <count that differed from the steps file's>
// Exit code 0 when every answer came and matched, 1 otherwise, 2 for a bad command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "bench/now_us.h"

namespace {

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, as the driver's clock asks for it.
constexpr DWORD kHighResolutionTimer = 0x00000002;
constexpr DWORD kAnswerWaitMs = 1000;
constexpr DWORD kQueueBytes = 4096;

struct Step {
    enum Kind { kPause, kWrite, kPurge, kAnswer } kind;
    DWORD ms = 0;
    std::string bytes;
};

// The program's processor time so far, in milliseconds.
double ProcessorMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    const auto ticks = [](const FILETIME& time) {
        return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) / 10000.0;
}

bool SleepIsPrecise() {
    for (int i = 0; i < 3; ++i) {
        const double begun = NowUs();
        Sleep(1);
        if (NowUs() - begun > 2000.0) {
            return false;
        }
    }
    return true;
}

std::string ParseHex(const char* text) {
    std::string bytes;
    char* end = nullptr;
    for (unsigned long value = std::strtoul(text, &end, 16); end != text;
         value = std::strtoul(text, &end, 16)) {
        bytes += static_cast<char>(value);
        text = end;
    }
    return bytes;
}

bool LoadSteps(const char* path, std::vector<Step>& steps) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        return false;
    }
    char line[8192];
    bool good = true;
    while (good && std::fgets(line, sizeof(line), file) != nullptr) {
        Step step{};
        if (std::strncmp(line, "pause ", 6) == 0) {
            step.kind = Step::kPause;
            step.ms = static_cast<DWORD>(std::strtoul(line + 6, nullptr, 10));
        } else if (std::strncmp(line, "write ", 6) == 0) {
            step.kind = Step::kWrite;
            step.bytes = ParseHex(line + 6);
        } else if (std::strncmp(line, "purge", 5) == 0) {
            step.kind = Step::kPurge;
        } else if (std::strncmp(line, "answer ", 7) == 0) {
            step.kind = Step::kAnswer;
            step.bytes = ParseHex(line + 7);
        } else {
            good = line[0] == '\n' || line[0] == '#';
            continue;
        }
        steps.push_back(step);
    }
    std::fclose(file);
    return good && !steps.empty();
}

// The port as the driver opens and sets it.
HANDLE OpenPort(const char* name) {
    HANDLE port = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    SetCommMask(port, EV_RXCHAR);
    SetupComm(port, kQueueBytes, kQueueBytes);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 1000, 0, 1000};
    SetCommTimeouts(port, &timeouts);
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    GetCommState(port, &dcb);
    dcb.BaudRate = 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 100;
    dcb.XoffLim = 100;
    if (!SetCommState(port, &dcb)) {
        CloseHandle(port);
        return nullptr;
    }
    return port;
}

class CFloor {
public:
    CFloor(HANDLE port, bool purge)
        : m_hPort(port),
          m_bPurge(purge),
          m_hTimer(CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS)),
          m_hWrite(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_hRead(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_hAhead(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
          m_bPreciseSleep(SleepIsPrecise()) {}
    ~CFloor() {
        for (HANDLE handle : {m_hTimer, m_hWrite, m_hRead, m_hAhead}) {
            if (handle != nullptr) {
                CloseHandle(handle);
            }
        }
    }
    CFloor(const CFloor&) = delete;
    CFloor& operator=(const CFloor&) = delete;

    bool Ready() const { return m_hWrite != nullptr && m_hRead != nullptr && m_hAhead != nullptr; }

    // As the driver pauses: a plain Sleep where the system's sleeps end within a millisecond of their
    // time (under Wine they cost no server request), else a high-resolution timer.
    void Pause(DWORD ms) {
        if (m_bPreciseSleep) {
            Sleep(ms);
            return;
        }
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
        if (m_hTimer != nullptr && SetWaitableTimer(m_hTimer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(m_hTimer, ms + 1000);
        } else {
            Sleep(ms);
        }
    }

    // A write that queues no completion packet and is waited for only while it is under way.
    void Write(const std::string& bytes) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(m_hWrite) | 1);
        DWORD done = 0;
        if (!WriteFile(m_hPort, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) &&
            GetLastError() == ERROR_IO_PENDING && !HasOverlappedIoCompleted(&overlapped)) {
            WaitForSingleObject(m_hWrite, 1000);
        }
        GetOverlappedResult(m_hPort, &overlapped, &done, FALSE);
    }

    void Purge() {
        if (m_bPurge) {
            PurgeComm(m_hPort, PURGE_RXCLEAR);
        }
    }

    // Waits for as many bytes as `expected` holds: the read-ahead takes the first, the rest is read
    // as it waits. False when they do not all come within the answer time.
    bool Answer(const std::string& expected, std::string& got) {
        got.clear();
        const DWORD start = GetTickCount();
        while (got.size() < expected.size()) {
            const DWORD spent = GetTickCount() - start;
            if (spent > kAnswerWaitMs) {
                return false;
            }
            char byte = 0;
            if (!ReadAhead(byte, kAnswerWaitMs - spent)) {
                continue;
            }
            got += byte;
            DWORD errors = 0;
            COMSTAT stat{};
            ClearCommError(m_hPort, &errors, &stat);
            if (stat.cbInQue > 0) {
                char rest[kQueueBytes];
                got.append(rest, ReadWaiting(rest, std::min<DWORD>(stat.cbInQue, sizeof(rest))));
            }
        }
        return true;
    }

private:
    // One byte, waited for with the thread's window messages: true when it came.
    bool ReadAhead(char& byte, DWORD timeoutMs) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = m_hAhead;
        DWORD done = 0;
        if (!ReadFile(m_hPort, &byte, 1, nullptr, &overlapped) && GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        while (!HasOverlappedIoCompleted(&overlapped)) {
            const DWORD woke =
                MsgWaitForMultipleObjectsEx(1, &m_hAhead, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0 + 1) {
                MSG msg;
                if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageA(&msg);
                }
            } else if (woke != WAIT_OBJECT_0) {
                CancelIoEx(m_hPort, &overlapped);
                WaitForSingleObject(m_hAhead, 500);
                break;
            }
        }
        return GetOverlappedResult(m_hPort, &overlapped, &done, FALSE) && done == 1;
    }

    DWORD ReadWaiting(char* buffer, DWORD n) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(m_hRead) | 1);
        DWORD done = 0;
        if (!ReadFile(m_hPort, buffer, n, nullptr, &overlapped) && GetLastError() == ERROR_IO_PENDING &&
            !HasOverlappedIoCompleted(&overlapped)) {
            WaitForSingleObject(m_hRead, 1500);
        }
        return GetOverlappedResult(m_hPort, &overlapped, &done, FALSE) ? done : 0;
    }

    HANDLE m_hPort;
    bool m_bPurge;
    HANDLE m_hTimer;
    HANDLE m_hWrite;
    HANDLE m_hRead;
    HANDLE m_hAhead;
    bool m_bPreciseSleep;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// A window as the driver has one (shown minimised, then hidden), so that its waits look at the same
// queue and the same display connection as the driver's.
HWND MakeWindow() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Lodevar bench floor";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA(windowClass.lpszClassName, windowClass.lpszClassName, WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    if (window != nullptr) {
        ShowWindow(window, SW_MINIMIZE);
        ShowWindow(window, SW_HIDE);
    }
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    const bool purge = !(argc == 4 && std::strcmp(argv[3], "--no-purge") == 0);
    std::vector<Step> steps;
    if ((argc != 3 && purge) || !LoadSteps(argv[2], steps)) {
        std::fputs("usage: bench-floor PORT STEPS [--no-purge]\n", stderr);
        return 2;
    }
    MakeWindow();
    HANDLE port = OpenPort(argv[1]);
    if (port == nullptr) {
        std::fprintf(stderr, "bench-floor: cannot open %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    CFloor floor(port, purge);
    if (!floor.Ready()) {
        std::fputs("bench-floor: no events\n", stderr);
        CloseHandle(port);
        return 1;
    }
    int answers = 0;
    int differed = 0;
    std::string got;
    const double cpuBegin = ProcessorMs();
    const double begin = NowUs();
    for (const Step& step : steps) {
        switch (step.kind) {
            case Step::kPause:
                floor.Pause(step.ms);
                break;
            case Step::kWrite:
                floor.Write(step.bytes);
                break;
            case Step::kPurge:
                floor.Purge();
                break;
            case Step::kAnswer:
                ++answers;
                if (!floor.Answer(step.bytes, got) || got != step.bytes) {
                    ++differed;
                }
                break;
        }
    }
    const double end = NowUs();
    const double cpuEnd = ProcessorMs();
    std::printf("total\t%.3f\ncpu\t%.1f\nanswers\t%d\t%d\n", (end - begin) / 1000.0, cpuEnd - cpuBegin,
                answers, differed);
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    CloseHandle(port);
    return differed == 0 ? 0 : 1;
}
