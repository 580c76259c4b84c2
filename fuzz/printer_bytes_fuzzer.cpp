// Fuzz target: the bytes a printer of family 0 or 1 sends back, with their arrival times, behind the
// probe, both status decoders, the family 0 stripe frame and the family 1 'M' answer, through the
// printer operations that read them.
//
// Input:
//   byte 0    bits 0-1: family (0, 1, else unknown: the first operation probes); bit 2: CTS stays off
//   byte 1    number of operations (1 + value % 8), then each: code % 10 as in kOps (a status query
//             is QueryStatusA, QueryStatusB or, family unknown, QueryStatus); MsrRead, MsrPoll:
//             capacity byte; PaperIn: kind byte (% 3); PrintPassbookAt, PrintChitAt: column, row,
//             length, text; MsrWrite: length, data
//   the rest  the printer's answers, chunk after chunk: trigger (% 4: after any write of the driver,
//             a status request of either family, ESC 'j' only, ESC 'h' only), delay (16 bits, % 16384
//             ms after that write), gap between its bytes (byte: below 200 in ms, else 50 ms steps),
//             length, bytes (a chunk without bytes is left out)
//
// Checks besides the sanitizers (buffers and texts have poisoned guard bytes): every wait ends at its
// own time-out; every operation ends within a number of quiet-printer status queries, plus the frame
// wait, text pacing and pauses, counted from when the printer went quiet; texts handed in are not
// changed; what lands in the stripe buffer is a terminated text; every result is a status code.
//
// Loops the protocol leaves without an end are bounded thus: the script is finite; when the printer
// has said nothing for as long as a whole status query waits, the operator holds Escape, on family 0
// while the last write is the eject ESC 'O' (repeated while the printer gives no answer), on family 1
// during a stripe read (which waits through every code). The family 0 stripe frame whose STX never
// comes while other bytes keep arriving ends with the script (each byte restarts the 10 s wait).
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "comm/comm.h"
#include "emu/serial_peer.h"
#include "fuzz/harness.h"

namespace {

using fuzz::Expect;
namespace protocol = fuzz::protocol;

enum Op { kProbe, kStatus, kRead, kPoll, kPaperIn, kPrint, kWrite, kPaperOut, kPrintChit, kInit };

// Each operation's name, and the status queries it may still make once the printer is quiet and the
// operator's Escape rule applies, per family; an eject in the middle counts two: the query under way
// and one more (MsrRead: a query, an eject, the next pass's query; PrintPassbookAt: paper in, row,
// column, print; MsrWrite: the wait, then the busy queries).
struct OpInfo {
    const char* name;
    int quietQueries[2];
};
constexpr OpInfo kOps[] = {{"ProbeFamily", {0, 0}}, {"status query", {1, 1}}, {"MsrRead", {5, 3}},
                           {"MsrPoll", {4, 2}},     {"PaperIn", {5, 3}},      {"PrintPassbookAt", {12, 6}},
                           {"MsrWrite", {6, 5}},    {"PaperOut", {3, 3}},     {"PrintChitAt", {12, 6}},
                           {"InitPrinter", {2, 2}}};

bool Later(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) > 0;
}

// The printer: answers nothing by itself; each chunk of the script is sent after a write of the
// driver (or after a status request), its bytes spaced as the script says.
struct CFuzzPrinter : emu::ISerialPeer {
    struct Chunk {
        int trigger = 0;  // any write, a status request of either family, ESC 'j' only, ESC 'h' only
        std::uint32_t delayMs = 0, gapMs = 0;
        std::string bytes;
    };

    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override {
        lastWrite.assign(reinterpret_cast<const char*>(bytes), n);
        const bool requestA = lastWrite == "\x1bj";
        const bool requestB = lastWrite == "\x1bh";
        const bool fires[] = {true, requestA || requestB, requestA, requestB};
        if (chunks.empty() || !fires[chunks.front().trigger]) {
            return;
        }
        std::uint32_t due = now + chunks.front().delayMs;
        for (char byte : chunks.front().bytes) {
            m_bytes.emplace_back(due, static_cast<std::uint8_t>(byte));
            quietSince = Later(due, quietSince) ? due : quietSince;
            due += chunks.front().gapMs;
        }
        chunks.pop_front();
    }
    std::size_t Readable(std::uint32_t now) override {
        auto arrived = std::find_if(m_bytes.begin(), m_bytes.end(),
                                    [now](const auto& byte) { return Later(byte.first, now); });
        return static_cast<std::size_t>(arrived - m_bytes.begin());
    }
    // Takes up to n bytes that have arrived (into `out`, unless it is null).
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override {
        std::size_t count = 0;
        for (; count < n && !m_bytes.empty() && !Later(m_bytes.front().first, now); ++count) {
            if (out != nullptr) {
                out[count] = m_bytes.front().second;
            }
            m_bytes.pop_front();
            quietSince = Later(now, quietSince) ? now : quietSince;
        }
        return count;
    }
    void PurgeReadable(std::uint32_t now) override { Read(nullptr, m_bytes.size(), now); }
    bool Cts(std::uint32_t) override { return cts; }

    bool NextDue(std::uint32_t& due) const {
        if (!m_bytes.empty()) {
            due = m_bytes.front().first;
        }
        return !m_bytes.empty();
    }
    // How long the driver has found nothing to read and nothing has been on its way (0 while a byte
    // waits or is still to arrive).
    std::uint32_t QuietFor(std::uint32_t now) const {
        return m_bytes.empty() && Later(now, quietSince) ? now - quietSince : 0;
    }

    std::deque<Chunk> chunks;
    bool cts = true;
    // From this time on the driver finds nothing to read until its next write sends a chunk: the
    // last byte sent so far has arrived and has been read or purged. (Bytes that wait unread are
    // not quiet: the driver may take them one per status query.)
    std::uint32_t quietSince = 0;
    std::string lastWrite;

private:
    std::deque<std::pair<std::uint32_t, std::uint8_t>> m_bytes;  // the bytes on their way, with their arrival
};

// The longest an operation may run once the printer is quiet; a family still unknown is probed
// first, and may turn out to be either.
std::uint32_t QuietBound(Op op, int family) {
    const std::uint32_t queries[] = {kOps[op].quietQueries[0] * protocol::kQuietQueryA,
                                     kOps[op].quietQueries[1] * protocol::kQuietQueryB};
    return 2 * (protocol::kCtsWait + protocol::kProbeWait) + protocol::kQuietExtras +
           (family == 0 || family == 1 ? queries[family] : std::max(queries[0], queries[1]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CInput input(data, size);
    const std::uint8_t setup = input.Byte();
    const int opCount = 1 + input.Byte() % 8;

    // The operations come first; what they do not use begins the printer's script.
    struct Step {
        Op op;
        int argument1 = 0;
        int argument2 = 0;
        std::string text;
    };
    std::vector<Step> steps;
    for (int i = 0; i < opCount && !input.Empty(); ++i) {
        Step step{static_cast<Op>(input.Byte() % std::size(kOps)), 0, 0, {}};
        const bool print = step.op == kPrint || step.op == kPrintChit;
        if (print || step.op == kRead || step.op == kPoll || step.op == kPaperIn) {
            step.argument1 = input.Byte();
        }
        if (print) {
            step.argument2 = input.Byte();
        }
        if (print || step.op == kWrite) {
            step.text = input.Bytes(input.Byte());
        }
        steps.push_back(step);
    }

    CFuzzPrinter printer;
    printer.cts = (setup & 0x04) == 0;
    while (!input.Empty()) {
        CFuzzPrinter::Chunk chunk;
        chunk.trigger = input.Byte() % 4;
        chunk.delayMs = input.Word() % 16384u;
        const std::uint8_t gap = input.Byte();
        chunk.gapMs = gap < 200 ? gap : static_cast<std::uint32_t>(gap - 200) * 50;
        chunk.bytes = input.Bytes(input.Byte());
        if (!chunk.bytes.empty()) {  // an empty chunk sends nothing: the printer stays quiet
            printer.chunks.push_back(chunk);
        }
    }

    fuzz::CFuzzPlatform sim;
    sim.serial.Attach("COM1", &printer);
    sim.clock.nextByte = [&printer](std::uint32_t& due) { return printer.NextDue(due); };
    CComm comm(sim.platform);
    Expect(comm.OpenPort(1, 9600, 8, 0, 0) != 0, "the simulated COM1 did not open: %s",
           comm.m_strError.c_str());
    const int family = setup & 0x03;
    comm.m_nFamily = family <= 1 ? family : 242;

    Op running = kProbe;
    std::uint32_t bound = 0;
    sim.clock.watch = [&] {
        const std::uint32_t now = sim.clock.Ticks();
        const std::uint32_t started = sim.clock.started;
        std::uint32_t quiet = Later(printer.quietSince, started) ? printer.quietSince : started;
        Expect(!Later(now, quiet) || now - quiet <= bound,
               "%s (family %d) still runs at %u ms: started at %u, printer quiet since %u, bound %u ms",
               kOps[running].name, comm.m_nFamily, now, started, quiet, bound);
    };
    sim.pump.escapeHeld = [&] {
        const std::uint32_t quietFor = printer.QuietFor(sim.clock.Ticks());
        const bool eject =
            comm.m_nFamily == 0 && printer.lastWrite == "\x1bO" && quietFor >= protocol::kSilentQueryA;
        const bool read = comm.m_nFamily == 1 && running == kRead && quietFor >= protocol::kSilentQueryB;
        return sim.clock.active && (eject || read);
    };

    for (const Step& step : steps) {
        const char* name = kOps[step.op].name;
        running = step.op;
        bound = QuietBound(step.op, comm.m_nFamily);
        sim.clock.Begin();
        int result = 0;
        switch (step.op) {
            case kProbe: {
                int found = comm.ProbeFamily();
                Expect(found == 0 || found == 1 || found == 242, "ProbeFamily answered %d", found);
                comm.m_nFamily = comm.m_nFamily == 242 ? found : comm.m_nFamily;
                break;
            }
            case kStatus:
                result = comm.m_nFamily == 0   ? comm.QueryStatusA()
                         : comm.m_nFamily == 1 ? comm.QueryStatusB()
                                               : comm.QueryStatus();
                break;
            case kRead:
            case kPoll: {
                fuzz::CGuarded buffer(static_cast<std::size_t>(step.argument1), '\x5a');
                auto capacity = static_cast<int>(buffer.Size());
                result = step.op == kRead ? comm.MsrRead(buffer.Data(), capacity)
                                          : comm.MsrPoll(buffer.Data(), capacity);
                // Whatever the driver writes into the buffer is a terminated text. (A family 0 poll
                // may answer 1 with the buffer untouched: a status byte 1, or 134, is handed on as
                // the poll's result, and 134 reads as success.)
                const bool written = std::any_of(buffer.Data(), buffer.Data() + buffer.Size(),
                                                 [](char c) { return c != '\x5a'; });
                Expect(!written || std::memchr(buffer.Data(), '\0', buffer.Size()) != nullptr,
                       "%s left an unterminated text in its %d-byte buffer", name, capacity);
                break;
            }
            case kPaperIn:
                result = comm.PaperIn(step.argument1 % 3);
                break;
            case kPrint:
            case kPrintChit:
            case kWrite: {
                fuzz::CGuarded text(step.text.size() + 1, '\0', step.text);
                result = step.op == kWrite ? comm.MsrWrite(text.Data())
                         : step.op == kPrint
                             ? comm.PrintPassbookAt(step.argument1, step.argument2, text.Data())
                             : comm.PrintChitAt(step.argument1, step.argument2, text.Data());
                Expect(std::memcmp(text.Data(), step.text.c_str(), step.text.size() + 1) == 0,
                       "%s changed the text it was given", name);
                break;
            }
            case kPaperOut:
                result = comm.PaperOut();
                break;
            case kInit:
                result = comm.InitPrinter();
                break;
        }
        Expect(result >= -1 && result <= 255, "%s answered %d, which is no status code", name, result);
        sim.clock.End();
    }
    return 0;
}
