// launcher [-t MS] PROGRAM [ARG...]: does what a teller application's launcher does. It creates
// the start-up event, starts PROGRAM with the arguments and waits, at most MS milliseconds
// (default 30000), for the program to set the event. One line on standard output:
//   signalled <ms> pid <pid>   the event was set after <ms> milliseconds; exit code 0
//   ended <code> pid <pid>     the program ended first, with exit code <code>; exit code 3
//   timeout pid <pid>          neither within MS; exit code 2 (the program is left running)
// The program keeps running after the launcher has ended, as the resident driver does.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kStartupEvent[] = L"WAIT FOR THE LODEVAR TO INITIALIZED....";

std::wstring Quoted(const wchar_t* argument) {
    std::wstring text(argument);
    return text.find_first_of(L" \t") == std::wstring::npos && !text.empty() ? text : L"\"" + text + L"\"";
}

long long NowMs() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 1;
    }
    int first = 1;
    DWORD limitMs = 30000;
    if (argc > 2 && std::wcscmp(argv[1], L"-t") == 0) {
        limitMs = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
        first = 3;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: launcher [-t MS] PROGRAM [ARG...]\n");
        return 1;
    }
    std::wstring commandLine = Quoted(argv[first]);
    for (int i = first + 1; i < argc; ++i) {
        commandLine += L" " + Quoted(argv[i]);
    }

    // Manual reset: the signal stays visible however late this process looks at it.
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, kStartupEvent);
    if (started == nullptr) {
        std::fprintf(stderr, "cannot create the start-up event (%lu)\n", GetLastError());
        return 1;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    long long begin = NowMs();
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start the program (%lu)\n", GetLastError());
        return 1;
    }
    HANDLE waits[] = {started, process.hProcess};
    DWORD which = WaitForMultipleObjects(2, waits, FALSE, limitMs);
    long long elapsed = NowMs() - begin;
    int result = 2;
    if (which == WAIT_OBJECT_0) {
        std::printf("signalled %lld pid %lu\n", elapsed, process.dwProcessId);
        result = 0;
    } else if (which == WAIT_OBJECT_0 + 1) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        std::printf("ended %lu pid %lu\n", code, process.dwProcessId);
        result = 3;
    } else {
        std::printf("timeout pid %lu\n", process.dwProcessId);
    }
    std::fflush(stdout);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(started);
    LocalFree(argv);
    return result;
}
