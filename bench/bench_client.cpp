// bench-client.exe: the teller application of `make bench`, on the client kit, timing with the
// performance counter.
//
//   bench-client teller        registers with the driver, then runs the teller transaction of
//                              teller_script.h, each step an immediate request sent as soon as the
//                              one before has answered; releases the gate. One line per request and
//                              one for the whole (milliseconds of wall time, from before the first
//                              request is sent to the answer of the last):
//                                step <TAB> <request text> <TAB> <result> <TAB> <ms>
//                                total <TAB> <ms>
//   bench-client roundtrip N   registers, then times N round trips of the pair 'A' then 'U' to its
//                              gate and N of a pair of the same blocks to the bare window program
//                              (bare_window.cpp), both sent by the same call (SendMessageTimeoutA,
//                              as the kit sends); and N of the pair to the driver's main window, which
//                              ignores blocks with tag 0: the cost of reaching the driver apart from
//                              the requests' own work. One pair of each in turn, after a warm-up.
//                              Lines (microseconds per pair): "driver|main|bare <TAB> median <TAB> p10
//                              <TAB> p90";
//                              then, for what the driver's own steps cost here, the medians of N of its
//                              idle passes ("idle", MsgWaitForMultipleObjectsEx for 1 ms), of N
//                              SetTimer and KillTimer pairs ("timer", what 'A' and 'U' do to the MSR
//                              poll) and of N OutputDebugStringA calls ("debugstring", a trace record).
//   bench-client close-bare    closes the bare window program and waits (5 s at most) for its window
//                              to go.
// Exit code 0 when every request answered 1, 1 otherwise, 2 for a bad command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/teller_script.h"
#include "client/lodevar_client.h"

namespace {

constexpr char kBareWindow[] = "Lodevar bench window";
constexpr int kWarmUp = 50;

double NowUs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

// The value below which `fraction` of the samples lie (nearest rank).
double Quantile(std::vector<double> samples, double fraction) {
    if (samples.empty()) {
        return 0.0;
    }
    std::sort(samples.begin(), samples.end());
    auto rank = static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5);
    return samples[rank];
}

void PrintSpread(const char* what, const std::vector<double>& samples) {
    std::printf("%s\t%.1f\t%.1f\t%.1f\n", what, Quantile(samples, 0.5), Quantile(samples, 0.1),
                Quantile(samples, 0.9));
}

int Teller(lvc_client& client) {
    bool allDone = true;
    const double begin = NowUs();
    for (const bench::Step& step : bench::kTellerTransaction) {
        lvc_request request;
        lvc_build_request(&request, LVC_IMMEDIATE, step.letter, step.field1, step.field2, step.option,
                          step.data, static_cast<int>(std::strlen(step.data)));
        const double start = NowUs();
        int result = lvc_send(&client, &request);
        std::printf("step\t%.9s\t%d\t%.3f\n", request.text, result, (NowUs() - start) / 1000.0);
        allDone = allDone && result == LVC_DONE;
    }
    std::printf("total\t%.3f\n", (NowUs() - begin) / 1000.0);
    return allDone ? 0 : 1;
}

// One WM_COPYDATA to `target`, sent as lvc_send sends it; the window's answer, or -1.
LRESULT SendBlock(const lvc_client& client, HWND target, const lvc_request& request) {
    COPYDATASTRUCT copy;
    copy.dwData = 0;
    copy.cbData = static_cast<DWORD>(request.size);
    copy.lpData = const_cast<char*>(request.text);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(client.window),
                            reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, client.timeout_ms, &answer) == 0) {
        return -1;
    }
    return static_cast<LRESULT>(answer);
}

int Roundtrip(lvc_client& client, int pairs) {
    HWND bare = FindWindowA(kBareWindow, kBareWindow);
    if (bare == nullptr) {
        std::fprintf(stderr, "bench-client: no bare window program is running\n");
        return 1;
    }
    lvc_request advise;
    lvc_request unadvise;
    lvc_build_request(&advise, LVC_IMMEDIATE, 'A', 0, 0, '0', nullptr, 0);
    lvc_build_request(&unadvise, LVC_IMMEDIATE, 'U', 0, 0, '0', nullptr, 0);

    std::vector<double> driver;
    std::vector<double> mainWindow;
    std::vector<double> yardstick;
    int failures = 0;
    auto driverPair = [&] {
        const double start = NowUs();
        failures += lvc_send(&client, &advise) != LVC_DONE;
        failures += lvc_send(&client, &unadvise) != LVC_DONE;
        return NowUs() - start;
    };
    // The same blocks to the driver's main window, which ignores a block with tag 0 (returns 0).
    auto mainPair = [&] {
        const double start = NowUs();
        failures += SendBlock(client, client.driver, advise) != 0;
        failures += SendBlock(client, client.driver, unadvise) != 0;
        return NowUs() - start;
    };
    auto barePair = [&] {
        const double start = NowUs();
        failures += SendBlock(client, bare, advise) != 1;
        failures += SendBlock(client, bare, unadvise) != 1;
        return NowUs() - start;
    };
    for (int i = 0; i < kWarmUp; ++i) {
        driverPair();
        mainPair();
        barePair();
    }
    // One pair of each in turn: a burst of load elsewhere on the machine falls on all three alike.
    for (int i = 0; i < pairs; ++i) {
        driver.push_back(driverPair());
        mainWindow.push_back(mainPair());
        yardstick.push_back(barePair());
    }
    PrintSpread("driver", driver);
    PrintSpread("main", mainWindow);
    PrintSpread("bare", yardstick);

    // One pass of the driver's waits (os/win32/win32_clock.cpp); the MSR poll's timer set and
    // killed, as 'A' and 'U' do; one trace record: the gate writes one per 'A' and one per 'U'.
    std::vector<double> idles;
    std::vector<double> timers;
    std::vector<double> traces;
    for (int i = 0; i < pairs; ++i) {
        double start = NowUs();
        MsgWaitForMultipleObjectsEx(0, nullptr, 1, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        idles.push_back(NowUs() - start);
        start = NowUs();
        SetTimer(client.window, 1, 1000, nullptr);
        KillTimer(client.window, 1);
        timers.push_back(NowUs() - start);
        start = NowUs();
        OutputDebugStringA("Lodevar gate [GATE]BANK_ADVISE_MSR: ADVISE OK\n");
        traces.push_back(NowUs() - start);
    }
    std::printf("idle\t%.1f\ntimer\t%.1f\ndebugstring\t%.1f\n", Quantile(idles, 0.5), Quantile(timers, 0.5),
                Quantile(traces, 0.5));
    if (failures != 0) {
        std::fprintf(stderr, "bench-client: %d request(s) did not answer 1\n", failures);
        return 1;
    }
    return 0;
}

int CloseBare() {
    HWND bare = FindWindowA(kBareWindow, kBareWindow);
    if (bare == nullptr) {
        return 0;
    }
    PostMessageA(bare, WM_CLOSE, 0, 0);
    for (int i = 0; i < 100 && IsWindow(bare); ++i) {
        Sleep(50);
    }
    return IsWindow(bare) ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool teller = argc == 2 && std::strcmp(argv[1], "teller") == 0;
    const bool roundtrip = argc == 3 && std::strcmp(argv[1], "roundtrip") == 0 && std::atoi(argv[2]) > 0;
    if (argc == 2 && std::strcmp(argv[1], "close-bare") == 0) {
        return CloseBare();
    }
    if (!teller && !roundtrip) {
        std::fputs("usage: bench-client teller | roundtrip N | close-bare\n", stderr);
        return 2;
    }
    lvc_client client;
    if (lvc_open(&client) != LVC_DONE) {
        std::fprintf(stderr, "bench-client: cannot open the client (%lu)\n", client.os_error);
        return 1;
    }
    int status = 1;
    int registered = lvc_register(&client);
    if (registered != LVC_DONE) {
        std::fprintf(stderr, "bench-client: no registration with the driver (%d %s)\n", registered,
                     lvc_status_name(registered));
    } else {
        status = teller ? Teller(client) : Roundtrip(client, std::atoi(argv[2]));
    }
    lvc_close(&client);
    return status;
}
