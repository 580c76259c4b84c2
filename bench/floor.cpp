// bench-floor.exe PORT STEPS: the least a driver can take for the teller transaction's exchanges on this
// machine. No driver code: it opens the port with the driver's line settings and time-outs, and does
// what the driver did on the line in the transaction, as lodevar-protocol-time --exchanges wrote it in
// STEPS (one a line: pause <ms> | write <hex> | purge | answer <hex>): the same writes in the same
// order, the same pauses and purges, and after each request the wait for the printer's answer with the
// calls the driver waits with (a one-byte overlapped read kept under way whose event ends a
// MsgWaitForMultipleObjectsEx on the thread's queue, then the bytes waiting in one read); its pauses as
// the driver's clock takes them. Nothing else: no client request, no frame parsing, no status
// decision, no look for the cancel key, no trace.
// Output, the time from before the first step to the end of the last and the program's processor
// time meanwhile (user and kernel) in milliseconds, then the answers and how many differed:
//   total <TAB> <ms>
//   cpu <TAB> <ms>
//   answers <TAB> <count> <TAB> <count that differed from the steps file's>
// Exit code 0 when every answer came and matched, 1 otherwise, 2 for a bad command line.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_win32.h"

namespace {

// CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, as the driver's clock asks for it.
constexpr DWORD kHighResolutionTimer = 0x00000002;
constexpr DWORD kAnswerWaitMs = 1000;
constexpr DWORD kQueueBytes = 4096;
constexpr const char* kKinds[] = {"pause", "write", "purge", "answer"};

struct Step {
    enum Kind { kPause, kWrite, kPurge, kAnswer } kind;
    DWORD ms = 0;
    std::string bytes{};
};

// The steps of the file, or none when a line is not a step.
std::vector<Step> LoadSteps(const char* path) {
    std::vector<Step> steps;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        const auto known = std::find(std::begin(kKinds), std::end(kKinds), kind);
        if (known == std::end(kKinds)) {
            return {};
        }
        Step& step = steps.emplace_back(Step{static_cast<Step::Kind>(known - std::begin(kKinds))});
        if (step.kind == Step::kPause) {
            words >> step.ms;
        }
        for (unsigned byte = 0; words >> std::hex >> byte;) {
            step.bytes += static_cast<char>(byte);
        }
    }
    return steps;
}

// The program's processor time so far, in milliseconds.
double ProcessorMs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const ULARGE_INTEGER kernelTime{{kernel.dwLowDateTime, kernel.dwHighDateTime}};
    const ULARGE_INTEGER userTime{{user.dwLowDateTime, user.dwHighDateTime}};
    return static_cast<double>(kernelTime.QuadPart + userTime.QuadPart) / 10000.0;
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

// The port and the handles the driver's link keeps for it; the process's end closes them.
class CFloor {
public:
    explicit CFloor(HANDLE port) : m_hPort(port) {}

    // As the driver pauses: a plain Sleep where the system's sleeps end within a millisecond of their
    // time (under Wine they cost no server request), else a high-resolution timer.
    void Pause(DWORD ms) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(ms) * 10000;
        if (!m_bPreciseSleep && m_hTimer != nullptr &&
            SetWaitableTimer(m_hTimer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(m_hTimer, ms + 1000);
        } else {
            Sleep(ms);
        }
    }

    void Write(const std::string& bytes) {
        Transfer(m_hWrite, 1000, [&](OVERLAPPED* overlapped) {
            return WriteFile(m_hPort, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, overlapped);
        });
    }

    // Waits for `count` bytes: the read-ahead takes the first, the rest is read as it waits. What came
    // within the answer time.
    std::string Answer(std::size_t count) {
        std::string got;
        const DWORD start = GetTickCount();
        for (DWORD spent = 0; got.size() < count && spent <= kAnswerWaitMs; spent = GetTickCount() - start) {
            char byte = 0;
            if (!ReadAhead(byte, kAnswerWaitMs - spent)) {
                break;  // the answer time is out, or the port failed: do not try again at once
            }
            got += byte;
            DWORD errors = 0;
            COMSTAT stat{};
            ClearCommError(m_hPort, &errors, &stat);
            if (stat.cbInQue > 0) {
                char rest[kQueueBytes];
                got.append(rest, Transfer(m_hRead, 1500, [&](OVERLAPPED* overlapped) {
                               return ReadFile(m_hPort, rest, std::min<DWORD>(stat.cbInQue, sizeof(rest)),
                                               nullptr, overlapped);
                           }));
            }
        }
        return got;
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

    // A read or write that queues no completion packet and is waited for only while it is under way;
    // the bytes it moved.
    template <class Start>
    DWORD Transfer(HANDLE event, DWORD waitMs, Start start) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(event) | 1);
        DWORD done = 0;
        if (!start(&overlapped) && GetLastError() == ERROR_IO_PENDING &&
            !HasOverlappedIoCompleted(&overlapped)) {
            WaitForSingleObject(event, waitMs);
        }
        return GetOverlappedResult(m_hPort, &overlapped, &done, FALSE) ? done : 0;
    }

    HANDLE m_hPort;
    HANDLE m_hTimer = CreateWaitableTimerExW(nullptr, nullptr, kHighResolutionTimer, TIMER_ALL_ACCESS);
    HANDLE m_hWrite = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_hRead = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE m_hAhead = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool m_bPreciseSleep = SleepIsPrecise();
};

}  // namespace

int main(int argc, char** argv) {
    const std::vector<Step> steps = argc == 3 ? LoadSteps(argv[2]) : std::vector<Step>{};
    if (steps.empty()) {
        std::fputs("usage: bench-floor PORT STEPS\n", stderr);
        return 2;
    }
    // A window as the driver has one, so that the waits look at the same queue and the same display
    // connection as the driver's.
    MakeWindow(L"Lodevar bench floor", DefWindowProcW, true);
    HANDLE port = OpenPort(argv[1]);
    if (port == nullptr) {
        std::fprintf(stderr, "bench-floor: cannot open %s (%lu)\n", argv[1], GetLastError());
        return 1;
    }
    CFloor floor(port);
    int answers = 0;
    int differed = 0;
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
                PurgeComm(port, PURGE_RXCLEAR);
                break;
            case Step::kAnswer:
                ++answers;
                differed += floor.Answer(step.bytes.size()) == step.bytes ? 0 : 1;
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
