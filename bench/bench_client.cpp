// bench-client.exe: the teller application of `make bench`, on the client kit, timing with the
// performance counter. Exit code 0 when every request answered 1, 1 otherwise, 2 for a bad command line.
//   bench-client teller        registers with the driver, runs the teller transaction of teller_script.h
//                              (each request sent as soon as the one before has answered), releases the
//                              gate; the wall time of the whole in milliseconds:
//                                total <TAB> <ms>
//   bench-client roundtrip N   registers, then times N pairs 'A' then 'U' to its gate, to the driver's main
//                              window and to the bare window program (bare_window.cpp), sent as the kit
//                              sends, and N of each of the driver's own steps (see Roundtrip):
//                                driver|main|bare <TAB> median <TAB> p10 <TAB> p90   (us per pair)
//                                wake|timer|debugstring <TAB> median                 (us)
//   bench-client close-bare    closes the bare window program and waits up to 5 s for its window to go.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "bench/bench_win32.h"
#include "bench/teller_script.h"
#include "client/lodevar_client.h"

namespace {

constexpr char kBareWindow[] = "Lodevar bench window";
constexpr int kWarmUp = 50;

// The value below which `fraction` of the samples lie (nearest rank).
double Quantile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5)];
}

int Teller(lvc_client* client) {
    bool allDone = true;
    const double begin = NowUs();
    for (const bench::Step& step : bench::kTellerTransaction) {
        const lvc_request request = bench::Request(step);
        const int result = lvc_send(client, &request);
        allDone = allDone && result == LVC_DONE;
    }
    std::printf("total\t%.3f\n", (NowUs() - begin) / 1000.0);
    return allDone ? 0 : 1;
}

// One WM_COPYDATA to `target` from `from`, sent as lvc_send sends it; the window's answer, or -1.
LRESULT SendBlock(HWND from, HWND target, const lvc_request& request) {
    COPYDATASTRUCT copy{0, static_cast<DWORD>(request.size), const_cast<char*>(request.text)};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(target, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                               reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, LVC_DEFAULT_TIMEOUT_MS,
                               &answer) == 0
               ? -1
               : static_cast<LRESULT>(answer);
}

// One of each in turn, so that a burst of load elsewhere on the machine falls on all alike: the pair
// to the driver's gate, to its main window (which ignores a block with tag 0, answering 0) and to the
// bare window, after a warm-up; then what the driver's own steps cost here: one pass of its waits
// (os/win32/win32_clock.cpp), the MSR poll's timer set and killed as 'A' and 'U' do, one trace record
// (the gate writes one per 'A' and one per 'U'). The blocks to the main and the bare window come from
// a message window of the bench's own, as the kit's come from the client's.
int Roundtrip(lvc_client* client, int pairs) {
    HWND bare = FindWindowA(kBareWindow, kBareWindow);
    if (bare == nullptr) {
        std::fprintf(stderr, "bench-client: no bare window program is running\n");
        return 1;
    }
    HWND own = CreateWindowExA(0, "STATIC", "bench", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND driver = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(lvc_driver_window(client)));
    const lvc_request blocks[] = {bench::Request({'A', 0, 0, '0', ""}), bench::Request({'U', 0, 0, '0', ""})};
    const std::function<bool(const lvc_request&)> targets[] = {
        [&](const lvc_request& block) { return lvc_send(client, &block) == LVC_DONE; },
        [&](const lvc_request& block) { return SendBlock(own, driver, block) == 0; },
        [&](const lvc_request& block) { return SendBlock(own, bare, block) == 1; },
    };
    // A wait of the driver that its wake handle ends at once (the printer's byte has come).
    HANDLE wake = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    const std::function<void()> steps[] = {
        [&] { MsgWaitForMultipleObjectsEx(1, &wake, 1000, QS_ALLINPUT, MWMO_INPUTAVAILABLE); },
        [&] { SetTimer(own, 1, 1000, nullptr), KillTimer(own, 1); },
        [] { OutputDebugStringA("Lodevar gate [GATE]BANK_ADVISE_MSR: ADVISE OK\n"); },
    };
    std::vector<double> times[6];  // those of the targets, then those of the steps
    int failures = 0;
    for (int i = -kWarmUp; i < pairs; ++i) {
        for (int target = 0; target < 3; ++target) {
            const double start = NowUs();
            for (const lvc_request& block : blocks) {
                failures += targets[target](block) ? 0 : 1;
            }
            if (i >= 0) {
                times[target].push_back(NowUs() - start);
            }
        }
    }
    for (int i = 0; i < pairs; ++i) {
        for (int step = 0; step < 3; ++step) {
            const double start = NowUs();
            steps[step]();
            times[3 + step].push_back(NowUs() - start);
        }
    }
    CloseHandle(wake);
    const char* const names[] = {"driver", "main", "bare", "wake", "timer", "debugstring"};
    for (int i = 0; i < 6; ++i) {
        std::printf("%s\t%.1f", names[i], Quantile(times[i], 0.5));
        if (i < 3) {
            std::printf("\t%.1f\t%.1f", Quantile(times[i], 0.1), Quantile(times[i], 0.9));
        }
        std::printf("\n");
    }
    if (failures != 0) {
        std::fprintf(stderr, "bench-client: %d request(s) did not answer 1\n", failures);
    }
    return failures == 0 ? 0 : 1;
}

int CloseBare() {
    HWND bare = FindWindowA(kBareWindow, kBareWindow);
    if (bare != nullptr) {
        PostMessageA(bare, WM_CLOSE, 0, 0);
    }
    for (int i = 0; i < 100 && IsWindow(bare); ++i) {
        Sleep(50);
    }
    return bare != nullptr && IsWindow(bare) ? 1 : 0;
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
    lvc_client* client = nullptr;
    if (lvc_open(&client) != LVC_DONE) {
        std::fprintf(stderr, "bench-client: cannot open the client (%lu)\n", GetLastError());
        return 1;
    }
    int status = lvc_register(client);
    if (status != LVC_DONE) {
        std::fprintf(stderr, "bench-client: no registration with the driver (%d %s)\n", status,
                     lvc_status_name(status));
        status = 1;
    } else {
        status = teller ? Teller(client) : Roundtrip(client, std::atoi(argv[2]));
    }
    lvc_close(client);
    return status;
}
