// lodevar-protocol-time FAMILY RUNS [--exchanges FILE]: the protocol's own time of the teller transaction
// (teller_script.h) on a printer of FAMILY (0, 1, or 2 through the fake printer library). The driver's logic
// starts on the simulated platform as lodevar.exe starts (PORT=1, MODEL=FAMILY, the printer opened at
// start-up), with the in-process emulator or the fake library; a client registers and sends the script's
// requests one after the other. The virtual clock moves only through the protocol's pauses and waits, so this
// is the least a request can take on any machine. RUNS transactions, a second apart, the passbook put in
// again before each, as `make bench` runs them under Wine. Output (ms of virtual time; the bytes to and from
// the printer during the transaction):
//   total <TAB> <run> <TAB> <ms>
//   wire <TAB> <run> <TAB> <bytes to the printer> <TAB> <bytes from the printer>
// With --exchanges (families 0 and 1), what the driver did on the line in the last transaction goes to
// FILE, one step a line, for the floor program (bench/floor.cpp) to do the same under Wine:
//   pause <ms>           the virtual time that passed before the next write or purge
//   write <hex bytes>    one write of the driver
//   purge                the driver purged its input
//   answer <hex bytes>   the printer's answer, as the driver read it (one or more reads in a row)
// With --wait-exchanges, no transaction: a passbook wait ('I') with the printer empty, and the steps of
// its first SECONDS go to FILE (the passbook comes a second later and ends the request).
// Exit code 0 when every request answered 1, 1 otherwise, 2 for a bad argument.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

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

// The printer as the driver's port sees it, writing down what the driver does on the line as the
// floor program's steps, from the last Mark() on: each write and purge after the time since the step
// before, and each answer as the driver read it (reads in a row are one answer), after the time since
// the answer arrived or the step before, whichever came later (the time up to its arrival is the
// printer's). Each step carries its virtual time.
class CRecordingPeer : public emu::ISerialPeer {
public:
    explicit CRecordingPeer(emu::CPrinterEmulator& printer) : m_printer(printer) {}

    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override {
        Add("write", now, m_nLast, bytes, n);
        m_printer.Write(bytes, n, now);
        std::uint32_t arrival = 0;
        if (!m_bArriving && m_printer.NextArrival(now, arrival)) {
            m_bArriving = true;
            m_nArrival = arrival;
        }
    }
    std::size_t Readable(std::uint32_t now) override { return m_printer.Readable(now); }
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override {
        const std::size_t done = m_printer.Read(out, n, now);
        if (done > 0) {
            const bool afterLast = static_cast<std::int32_t>(m_nArrival - m_nLast) > 0;
            Add("answer", now, !m_bArriving ? now : afterLast ? m_nArrival : m_nLast, out, done);
            m_bArriving = false;
        }
        return done;
    }
    void PurgeReadable(std::uint32_t now) override {
        Add("purge", now, m_nLast, nullptr, 0);
        m_printer.PurgeReadable(now);
        if (m_bArriving && static_cast<std::int32_t>(now - m_nArrival) >= 0) {
            m_bArriving = false;  // the answer that had arrived is gone unread
        }
    }
    bool NextArrival(std::uint32_t now, std::uint32_t& time) const override {
        return m_printer.NextArrival(now, time);
    }
    bool Cts(std::uint32_t now) override { return m_printer.Cts(now); }

    void Mark(std::uint32_t now) {
        m_steps.clear();
        m_nLast = now;
        m_bReading = false;
    }
    // The steps since the mark that came before `end`.
    bool Save(const std::string& path, std::uint32_t end) const {
        std::FILE* file = std::fopen(path.c_str(), "w");
        if (file == nullptr) {
            return false;
        }
        for (const auto& [time, line] : m_steps) {
            if (static_cast<std::int32_t>(time - end) < 0) {
                std::fprintf(file, "%s\n", line.c_str());
            }
        }
        return std::fclose(file) == 0;
    }

private:
    void Add(const char* kind, std::uint32_t now, std::uint32_t from, const std::uint8_t* bytes,
             std::size_t n) {
        const bool answer = std::strcmp(kind, "answer") == 0;
        if (!answer || !m_bReading) {
            if (static_cast<std::int32_t>(now - from) > 0) {
                m_steps.emplace_back(now, "pause " + std::to_string(now - from));
            }
            m_steps.emplace_back(now, kind);
        }
        for (std::size_t i = 0; i < n; ++i) {
            char hex[4];
            std::snprintf(hex, sizeof(hex), " %02x", bytes[i]);
            m_steps.back().second += hex;
        }
        m_bReading = answer;
        m_nLast = now;
    }

    emu::CPrinterEmulator& m_printer;
    std::vector<std::pair<std::uint32_t, std::string>> m_steps;
    std::uint32_t m_nLast = 0;
    bool m_bReading = false;
    bool m_bArriving = false;  // an answer is on its way, arriving at m_nArrival
    std::uint32_t m_nArrival = 0;
};

// The bytes that have crossed the line so far: to the printer, from it.
std::pair<std::size_t, std::size_t> WireBytes(const emu::CPrinterEmulator& printer) {
    std::pair<std::size_t, std::size_t> bytes{0, 0};
    for (const emu::WireRecord& record : printer.Wire()) {
        (record.toPrinter ? bytes.first : bytes.second) += record.bytes.size();
    }
    return bytes;
}

int Run(int family, int runs, const std::string& exchanges, int waitSeconds) {
    // The printer and the library outlive the platform, which outlives the driver.
    emu::CPrinterEmulator printer(family);
    CRecordingPeer line(printer);
    fake::CFakePrinterLibrary library;
    sim::CSimPlatform sim;
    fake::Install(&library);
    if (family == 2) {
        fake::Register(sim.library, "C:\\Lodevar\\VSK_ALL.dll");
    } else {
        sim.serial.Attach("COM1", &line);
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
    const auto send = [&](const bench::Step& step) {
        const lvc_request request = bench::Request(step);
        const std::intptr_t result =
            sim.windows.SendCopyData(gate, client, 0, request.text, static_cast<std::uint32_t>(request.size));
        allDone = allDone && result == LVC_DONE;
    };
    if (waitSeconds > 0) {
        // A passbook wait with the printer empty; the passbook comes a second after the recorded time.
        const std::uint32_t end = sim.clock.Ticks() + static_cast<std::uint32_t>(waitSeconds) * 1000u;
        printer.InsertAt(emu::Medium::Passbook, end + 1000u);
        line.Mark(sim.clock.Ticks());
        send({'I', 0, 0, '0', ""});
        allDone = line.Save(exchanges, end) && allDone;
    }
    for (int run = 1; run <= runs; ++run) {
        // The emulator's operator puts a passbook in half a second after an eject at the earliest.
        sim.clock.Advance(1000);
        printer.Insert(emu::Medium::Passbook);
        const auto before = WireBytes(printer);
        const std::uint32_t begin = sim.clock.Ticks();
        line.Mark(begin);
        for (const bench::Step& step : bench::kTellerTransaction) {
            send(step);
        }
        std::printf("total\t%d\t%u\n", run, static_cast<unsigned>(sim.clock.Ticks() - begin));
        const auto after = WireBytes(printer);
        std::printf("wire\t%d\t%zu\t%zu\n", run, after.first - before.first, after.second - before.second);
        if (run == runs && !exchanges.empty() && !line.Save(exchanges, sim.clock.Ticks() + 1)) {
            std::fprintf(stderr, "lodevar-protocol-time: cannot write %s\n", exchanges.c_str());
            allDone = false;
        }
    }
    fake::Install(nullptr);
    return allDone ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const int family = argc >= 3 && std::strlen(argv[1]) == 1 ? argv[1][0] - '0' : -1;
    const bool wait = argc == 5 && std::strcmp(argv[2], "--wait-exchanges") == 0 && std::atoi(argv[4]) > 0;
    const bool exchanges = argc == 5 && std::strcmp(argv[3], "--exchanges") == 0;
    const int runs = wait || argc < 3 ? 0 : std::atoi(argv[2]);
    if (family < 0 || family > 2 || (argc != 3 && !wait && !exchanges) || (!wait && runs < 1) ||
        ((wait || exchanges) && family == 2)) {
        std::fputs(
            "usage: lodevar-protocol-time 0|1|2 RUNS [--exchanges FILE]\n"
            "       lodevar-protocol-time 0|1 --wait-exchanges FILE SECONDS\n",
            stderr);
        return 2;
    }
    return Run(family, runs, wait ? argv[3] : exchanges ? argv[4] : "", wait ? std::atoi(argv[4]) : 0);
}
