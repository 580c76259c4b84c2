// The printer link at work, natively: the driver's CComm talks to the emulator of a family 0 and
// of a family 1 passbook printer over a simulated serial line on a virtual clock. For each family
// it shows what crossed the wire, what the driver concluded (family, status code, status text),
// then takes a passbook in, prints a few lines, writes and reads the stripe, ejects, and shows
// the page the printer produced.
#include <iconv.h>

#include <cstdio>
#include <string>

#include "comm/comm.h"
#include "emu/printer_emulator.h"
#include "os/sim/sim_platform.h"

namespace {

std::string Utf8ToCp949(const std::string& utf8) {
    iconv_t converter = iconv_open("CP949", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return utf8;
    }
    std::string in = utf8;
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    std::size_t result = iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        return utf8;
    }
    out.resize(out.size() - outLeft);
    return out;
}

// Prints the wire records from `from` on; long runs of bytes are shortened for the eye.
std::size_t ShowWire(const emu::CPrinterEmulator& printer, std::size_t from) {
    const auto& wire = printer.Wire();
    for (std::size_t i = from; i < wire.size(); ++i) {
        std::string line = emu::FormatWireRecord(wire[i]);
        if (line.size() > 100) {
            line = line.substr(0, 96) + " ...";
        }
        std::printf("      %s\n", line.c_str());
    }
    return wire.size();
}

void Conclude(const char* what, int result, CComm& comm) {
    std::printf("  %-34s -> %d  %s\n", what, result, emu::Cp949ToUtf8(comm.GetErrorText()).c_str());
}

int RunFamily(int family) {
    std::printf("\n=== a family %d printer on COM1 ===\n", family);
    sim::CSimPlatform sim;
    emu::CPrinterEmulator printer(family);
    sim.serial.Attach("COM1", &printer);
    CComm comm(sim.Platform());

    if (comm.OpenPort(1, 9600, 8, 0, 0) == 0) {
        std::printf("  open failed: %s\n", comm.m_strError.c_str());
        return 1;
    }
    std::printf("  COM1 open at 9600 baud, 8 data bits, no parity, one stop bit, XON/XOFF\n");
    std::size_t shown = 0;

    comm.m_nFamily = comm.ProbeFamily();
    std::printf("  probe: family %d found\n", comm.m_nFamily);
    shown = ShowWire(printer, shown);

    int status = comm.QueryStatus();
    Conclude("status, nothing in the printer", status, comm);
    shown = ShowWire(printer, shown);

    printer.InsertAt(emu::Medium::Passbook, sim.clock.Ticks() + 1500);
    std::uint32_t start = sim.clock.Ticks();
    int paperIn = comm.PaperIn(0);
    Conclude("passbook in (inserted after 1.5 s)", paperIn, comm);
    std::printf("      (waited %u ms of virtual time)\n", static_cast<unsigned>(sim.clock.Ticks() - start));
    shown = printer.Wire().size();

    struct Line {
        int row;
        int column;
        int face;
        bool enlarged;
        const char* text;
    } lines[] = {
        {1, 5, 1, true, "LODEVAR BANK"},
        {3, 2, 0, false, "2026-12-06  DEPOSIT     150,000"},
        {4, 2, 0, false, "2026-12-06  급여 입금    2,350,000"},
        {5, 2, 1, false, "2026-12-06  WITHDRAWAL   80,000"},
    };
    for (const Line& line : lines) {
        if (line.enlarged) {
            comm.SetEnlargeFont();
        } else {
            comm.SetNormalFont();
        }
        comm.SetFontFace(line.face);
        std::string text = Utf8ToCp949(line.text);
        int printed = comm.PrintPassbookAt(line.column, line.row, text.c_str());
        char what[64];
        std::snprintf(what, sizeof(what), "print at row %d, column %d", line.row, line.column);
        Conclude(what, printed, comm);
    }

    int written = comm.MsrWrite("1234567890ABCDEF");
    Conclude("stripe write 1234567890ABCDEF", written, comm);
    char stripe[128] = {};
    int read = comm.MsrRead(stripe, sizeof(stripe));
    Conclude("stripe read", read, comm);
    std::printf("      stripe holds \"%s\"\n", stripe);
    int out = comm.PaperOut();
    Conclude("eject", out, comm);
    std::printf("  %zu transfers crossed the wire in %u ms of virtual time\n", printer.Wire().size(),
                static_cast<unsigned>(sim.clock.Ticks() - 1000));
    std::printf("\n%s\n", printer.Page().Render().c_str());
    comm.ClosePort();
    bool ok = status == 80 && paperIn == 1 && written == 1 && read == 1 && out == 1;
    return ok ? 0 : 1;
}

}  // namespace

int main() {
    std::printf("Lodevar: the printer link against the bundled printer emulator\n");
    int failures = RunFamily(0) + RunFamily(1);
    std::printf(failures == 0 ? "\nboth families: done\n" : "\nsomething failed: see above\n");
    return failures == 0 ? 0 : 1;
}
