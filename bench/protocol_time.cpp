// lodevar-protocol-time FAMILY [RUNS]: the protocol's own time of the teller transaction (teller_script.h)
// on a printer of FAMILY (0, 1, or 2 through the fake printer library). The driver's logic starts on the
// simulated platform as lodevar.exe starts (PORT=1, MODEL=FAMILY, the printer opened at start-up), with
// the in-process emulator or the fake library; a client registers and sends the script's requests one
// after the other. The virtual clock moves only through the protocol's pauses and waits, so this is the
// least a request can take on any machine. RUNS transactions (1 unless given), a second apart, the
// passbook put in again before each, as `make bench` runs them under Wine. Output (ms of virtual time;
// the bytes to and from the printer during the transaction):
//   step <TAB> <run> <TAB> <request text> <TAB> <result> <TAB> <ms>
//   total <TAB> <run> <TAB> <ms>
//   wire <TAB> <run> <TAB> <bytes to the printer> <TAB> <bytes from the printer>
// Exit code 0 when every request answered 1, 1 otherwise, 2 for a bad argument.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "app/lodevar_app.h"
#include "bench/teller_script.h"
#include "client/lodevar_client.h"
#include "emu/printer_emulator.h"
#include "os/sim/sim_platform.h"
#include "tests/fake_printer_library/fake_printer_native.h"

namespace {

constexpr char kIni[] = "C:\\Lodevar\\User\\CommData.ini";

// The teller application's window: takes whatever the driver sends it.
struct ClientWindow : os::IWindowProc {
    os::MessageResult OnMessage(os::Window, const os::Message&) override { return {true, 1}; }
};

// The bytes that have crossed the line so far: to the printer, from it.
std::pair<std::size_t, std::size_t> WireBytes(const emu::CPrinterEmulator& printer) {
    std::pair<std::size_t, std::size_t> bytes{0, 0};
    for (const emu::WireRecord& record : printer.Wire()) {
        (record.toPrinter ? bytes.first : bytes.second) += record.bytes.size();
    }
    return bytes;
}

int Run(int family, int runs) {
    // The printer and the library outlive the platform, which outlives the driver.
    emu::CPrinterEmulator printer(family);
    fake::CFakePrinterLibrary library;
    sim::CSimPlatform sim;
    fake::Install(&library);
    if (family == 2) {
        fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll");
    } else {
        sim.serial.Attach("COM1", &printer);
    }
    sim.system.SetProfileValue(kIni, "Lodevar", "PORT", "1");
    sim.system.SetProfileValue(kIni, "Lodevar", "MODEL", std::to_string(family));

    CLodevarApp app(sim.Platform());
    const char* const argv[] = {"lodevar.exe"};
    if (!app.InitInstance(1, argv) || app.MainFrame() == nullptr || app.MainFrame()->Comm().m_bOpen == 0) {
        std::fprintf(stderr, "lodevar-protocol-time: the driver did not open the printer\n");
        fake::Install(nullptr);
        return 1;
    }
    ClientWindow proc;
    os::Window client = sim.windows.CreateClientWindow(proc);
    auto gate = static_cast<os::Window>(sim.windows.SendCopyData(
        app.MainFrame()->Window(), client, GATE_REGISTER, nullptr, static_cast<std::uint32_t>(client)));
    bool allDone = gate != 0;
    for (int run = 1; run <= runs; ++run) {
        // The emulator's operator puts a passbook in half a second after an eject at the earliest.
        sim.clock.Advance(1000);
        printer.Insert(emu::Medium::Passbook);
        const auto before = WireBytes(printer);
        const std::uint32_t begin = sim.clock.Ticks();
        for (const bench::Step& step : bench::kTellerTransaction) {
            const lvc_request request = bench::Request(step);
            const std::uint32_t start = sim.clock.Ticks();
            std::intptr_t result = sim.windows.SendCopyData(gate, client, 0, request.text,
                                                            static_cast<std::uint32_t>(request.size));
            std::printf("step\t%d\t%.9s\t%ld\t%u\n", run, request.text, static_cast<long>(result),
                        static_cast<unsigned>(sim.clock.Ticks() - start));
            allDone = allDone && result == LVC_DONE;
        }
        std::printf("total\t%d\t%u\n", run, static_cast<unsigned>(sim.clock.Ticks() - begin));
        const auto after = WireBytes(printer);
        std::printf("wire\t%d\t%zu\t%zu\n", run, after.first - before.first, after.second - before.second);
    }
    fake::Install(nullptr);
    return allDone ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc == 3 ? std::atoi(argv[2]) : 1;
    if (argc < 2 || argc > 3 || std::strlen(argv[1]) != 1 || argv[1][0] < '0' || argv[1][0] > '2' ||
        runs < 1) {
        std::fputs("usage: lodevar-protocol-time 0|1|2 [RUNS]\n", stderr);
        return 2;
    }
    return Run(argv[1][0] - '0', runs);
}
