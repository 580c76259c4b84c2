// Fuzz target: the bytes a printer of family 0 or 1 sends back, with their arrival times, behind the
// probe, both status decoders, the family 0 stripe frame and the family 1 'M' answer, through the
// printer operations that read them.
//
// Input:
//   byte 0          bits 0-1: family (0, 1, else unknown: the first operation probes)
//                   bit 2: the printer's CTS line stays off
//   byte 1          number of operations (1 + value % 8), then each operation:
//                     code % 10: 0 ProbeFamily, 1 status query (QueryStatusA on family 0,
//                     QueryStatusB on family 1, else QueryStatus), 2 MsrRead, 3 MsrPoll, 4 PaperIn,
//                     5 PrintPassbookAt, 6 MsrWrite, 7 PaperOut, 8 PrintChitAt, 9 InitPrinter
//                     MsrRead, MsrPoll: capacity byte (0..255)
//                     PaperIn: kind byte (% 3)
//                     PrintPassbookAt, PrintChitAt: column, row, length, text bytes
//                     MsrWrite: length, data bytes
//   the rest        the printer's answers, one chunk after another:
//                     trigger (% 4: sent after any write of the driver, after a status request of
//                     either family, after ESC 'j' only, after ESC 'h' only),
//                     delay (16 bits little-endian, % 16384 ms after that write),
//                     gap between the chunk's bytes (byte: below 200 in ms, else 50 ms steps),
//                     length, bytes (a chunk without bytes is left out)
//
// Checks besides the sanitizers:
//   - every wait ends at its own time-out (the clock fails a pass past it);
//   - every operation ends within a bound derived from the protocol's time-outs, counted from the
//     moment the printer went quiet (its last byte so far has arrived and has been read or purged):
//     a number of status queries of a quiet printer for the operation, plus the frame wait, text
//     pacing and pauses;
//   - the caller's stripe buffer, print text and stripe data are not written past their size (guard
//     bytes), the texts handed in are not changed, and what lands in the stripe buffer is a
//     terminated text;
//   - every result is a status code (-1 to 255).
//
// Loops the protocol leaves without an end, and how this harness bounds them:
//   - the printer's script is finite: once it is used up (or its next chunk waits for a write the
//     driver does not make) the printer says nothing more;
//   - family 0, the eject repeated while the printer gives no answer: when the printer has said
//     nothing for as long as a whole status query waits (6 x 1.1 s), the operator holds Escape
//     while the driver's last write is the eject command ESC 'O';
//   - family 1, the stripe read that waits through every code (242 included): when the printer has
//     said nothing for as long as a whole status query waits (3 x 11.2 s), the operator holds
//     Escape during a stripe read;
//   - family 0, the stripe frame whose STX never comes while other bytes keep arriving: ends with the
//     script (each byte restarts the 10 s wait, so the bound counts from the last byte).
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>

#include "comm/comm.h"
#include "emu/serial_peer.h"
#include "fuzz/harness.h"

namespace {

using fuzz::CGuarded;
using fuzz::CInput;
namespace protocol = fuzz::protocol;

enum Op {
    kProbe,
    kStatus,
    kMsrRead,
    kMsrPoll,
    kPaperIn,
    kPrintPassbookAt,
    kMsrWrite,
    kPaperOut,
    kPrintChitAt,
    kInitPrinter,
    kOpCount
};

const char* const kOpNames[kOpCount] = {"ProbeFamily", "status query",    "MsrRead",  "MsrPoll",
                                        "PaperIn",     "PrintPassbookAt", "MsrWrite", "PaperOut",
                                        "PrintChitAt", "InitPrinter"};

// Status queries an operation may still make once the printer is quiet and the operator's Escape
// rule applies, per family (an eject in the middle counts two: the query under way and one more).
constexpr int kQuietQueries[kOpCount][2] = {
    {0, 0},   // ProbeFamily
    {1, 1},   // status query
    {5, 3},   // MsrRead: query, eject, the next pass's query
    {4, 2},   // MsrPoll
    {5, 3},   // PaperIn
    {12, 6},  // PrintPassbookAt: paper in, row, column, print
    {6, 5},   // MsrWrite: the wait, then the busy queries
    {3, 3},   // PaperOut
    {12, 6},  // PrintChitAt
    {2, 2},   // InitPrinter
};

bool Later(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) > 0;
}

// The printer: answers nothing by itself; each chunk of the script is sent after a write of the
// driver (or after a status request), its bytes spaced as the script says.
class CFuzzPrinter : public emu::ISerialPeer {
public:
    enum Trigger { kAnyWrite, kStatusRequest, kRequestA, kRequestB };
    struct Chunk {
        Trigger trigger = kAnyWrite;
        std::uint32_t delayMs = 0;
        std::uint32_t gapMs = 0;
        std::string bytes;
    };

    std::deque<Chunk> chunks;
    bool cts = true;

    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override {
        m_strLastWrite.assign(reinterpret_cast<const char*>(bytes), n);
        if (chunks.empty()) {
            return;
        }
        const Chunk& chunk = chunks.front();
        const bool requestA = m_strLastWrite == "\x1bj";
        const bool requestB = m_strLastWrite == "\x1bh";
        if ((chunk.trigger == kStatusRequest && !requestA && !requestB) ||
            (chunk.trigger == kRequestA && !requestA) || (chunk.trigger == kRequestB && !requestB)) {
            return;
        }
        std::uint32_t due = now + chunk.delayMs;
        for (char byte : chunk.bytes) {
            m_bytes.push_back(TimedByte{due, static_cast<std::uint8_t>(byte)});
            if (Later(due, m_nQuietSince)) {
                m_nQuietSince = due;
            }
            due += chunk.gapMs;
        }
        chunks.pop_front();
    }
    std::size_t Readable(std::uint32_t now) override {
        std::size_t count = 0;
        for (const TimedByte& byte : m_bytes) {
            if (Later(byte.due, now)) {
                break;
            }
            ++count;
        }
        return count;
    }
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override {
        std::size_t count = 0;
        while (count < n && !m_bytes.empty() && !Later(m_bytes.front().due, now)) {
            out[count++] = m_bytes.front().value;
            m_bytes.pop_front();
            Taken(now);
        }
        return count;
    }
    void PurgeReadable(std::uint32_t now) override {
        while (!m_bytes.empty() && !Later(m_bytes.front().due, now)) {
            m_bytes.pop_front();
            Taken(now);
        }
    }
    bool Cts(std::uint32_t) override { return cts; }

    bool NextDue(std::uint32_t& due) const {
        if (m_bytes.empty()) {
            return false;
        }
        due = m_bytes.front().due;
        return true;
    }
    // From this time on the driver finds nothing to read until its next write sends a chunk: the
    // last byte sent so far has arrived and has been read or purged. (Bytes that wait unread are
    // not quiet: the driver may take them one per status query.)
    std::uint32_t QuietSince() const { return m_nQuietSince; }
    // How long the driver has found nothing to read and nothing has been on its way (0 while a byte
    // waits or is still to arrive).
    std::uint32_t QuietFor(std::uint32_t now) const {
        return m_bytes.empty() && Later(now, m_nQuietSince) ? now - m_nQuietSince : 0;
    }
    const std::string& LastWrite() const { return m_strLastWrite; }

private:
    struct TimedByte {
        std::uint32_t due;
        std::uint8_t value;
    };
    void Taken(std::uint32_t now) {
        if (Later(now, m_nQuietSince)) {
            m_nQuietSince = now;
        }
    }
    std::deque<TimedByte> m_bytes;
    std::uint32_t m_nQuietSince = 0;
    std::string m_strLastWrite;
};

std::uint32_t GapMs(std::uint8_t code) {
    return code < 200 ? code : static_cast<std::uint32_t>(code - 200) * 50;
}

// The longest an operation may run once the printer is quiet.
std::uint32_t QuietBound(Op op, int family) {
    auto forFamily = [op](int f) {
        std::uint32_t query = f == 0 ? protocol::kQuietQueryA : protocol::kQuietQueryB;
        return static_cast<std::uint32_t>(kQuietQueries[op][f]) * query;
    };
    // A family still unknown is probed first, and may turn out to be either.
    std::uint32_t queries =
        family == 0 || family == 1 ? forFamily(family) : std::max(forFamily(0), forFamily(1));
    std::uint32_t probe = 2 * (protocol::kCtsWait + protocol::kProbeWait);
    return probe + queries + protocol::kQuietExtras;
}

void CheckResult(Op op, int result) {
    if (result < -1 || result > 255) {
        fuzz::Fail("%s answered %d, which is no status code", kOpNames[op], result);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CInput input(data, size);
    const std::uint8_t setup = input.Byte();
    const int opCount = 1 + input.Byte() % 8;

    // The operations come first; what they do not use begins the printer's script.
    struct Step {
        Op op = kProbe;
        int argument1 = 0;
        int argument2 = 0;
        std::string text;
    };
    std::vector<Step> steps;
    for (int i = 0; i < opCount && !input.Empty(); ++i) {
        Step step;
        step.op = static_cast<Op>(input.Byte() % kOpCount);
        switch (step.op) {
            case kMsrRead:
            case kMsrPoll:
                step.argument1 = input.Byte();
                break;
            case kPaperIn:
                step.argument1 = input.Byte() % 3;
                break;
            case kPrintPassbookAt:
            case kPrintChitAt:
                step.argument1 = input.Byte();
                step.argument2 = input.Byte();
                step.text = input.Bytes(input.Byte());
                break;
            case kMsrWrite:
                step.text = input.Bytes(input.Byte());
                break;
            default:
                break;
        }
        steps.push_back(step);
    }

    CFuzzPrinter printer;
    printer.cts = (setup & 0x04) == 0;
    while (!input.Empty()) {
        CFuzzPrinter::Chunk chunk;
        chunk.trigger = static_cast<CFuzzPrinter::Trigger>(input.Byte() % 4);
        chunk.delayMs = input.Word() % 16384u;
        chunk.gapMs = GapMs(input.Byte());
        chunk.bytes = input.Bytes(input.Byte());
        if (!chunk.bytes.empty()) {  // an empty chunk sends nothing: the printer stays quiet
            printer.chunks.push_back(chunk);
        }
    }

    fuzz::CFuzzPlatform sim;
    sim.serial.Attach("COM1", &printer);
    sim.clock.nextByte = [&printer](std::uint32_t& due) { return printer.NextDue(due); };
    CComm comm(sim.platform);
    if (comm.OpenPort(1, 9600, 8, 0, 0) == 0) {
        fuzz::Fail("the simulated COM1 did not open: %s", comm.m_strError.c_str());
    }
    const int family = setup & 0x03;
    comm.m_nFamily = family <= 1 ? family : 242;

    Op running = kProbe;
    bool active = false;
    std::uint32_t started = 0;
    std::uint32_t bound = 0;
    sim.clock.watch = [&] {
        if (!active) {
            return;
        }
        const std::uint32_t now = sim.clock.Ticks();
        std::uint32_t quiet = Later(printer.QuietSince(), started) ? printer.QuietSince() : started;
        if (Later(now, quiet) && now - quiet > bound) {
            fuzz::Fail(
                "%s (family %d) still runs at %u ms: started at %u, printer quiet since %u, bound %u ms",
                kOpNames[running], comm.m_nFamily, now, started, quiet, bound);
        }
    };
    sim.pump.escapeHeld = [&] {
        if (!active) {
            return false;
        }
        const std::uint32_t quietFor = printer.QuietFor(sim.clock.Ticks());
        if (comm.m_nFamily == 0) {
            return printer.LastWrite() ==
                       "\x1b"
                       "O" &&
                   quietFor >= protocol::kSilentQueryA;
        }
        return comm.m_nFamily == 1 && running == kMsrRead && quietFor >= protocol::kSilentQueryB;
    };

    for (const Step& step : steps) {
        running = step.op;
        started = sim.clock.Ticks();
        bound = QuietBound(step.op, comm.m_nFamily);
        active = true;
        int result = 0;
        switch (step.op) {
            case kProbe: {
                int found = comm.ProbeFamily();
                if (found != 0 && found != 1 && found != 242) {
                    fuzz::Fail("ProbeFamily answered %d", found);
                }
                if (comm.m_nFamily == 242) {
                    comm.m_nFamily = found;
                }
                break;
            }
            case kStatus:
                result = comm.m_nFamily == 0   ? comm.QueryStatusA()
                         : comm.m_nFamily == 1 ? comm.QueryStatusB()
                                               : comm.QueryStatus();
                break;
            case kMsrRead:
            case kMsrPoll: {
                CGuarded buffer(static_cast<std::size_t>(step.argument1), '\x5a');
                auto capacity = static_cast<int>(buffer.Size());
                result = step.op == kMsrRead ? comm.MsrRead(buffer.Data(), capacity)
                                             : comm.MsrPoll(buffer.Data(), capacity);
                buffer.Check(kOpNames[step.op]);
                // Whatever the driver writes into the buffer is a terminated text. (A family 0 poll
                // may answer 1 with the buffer untouched: a status byte 1, or 134, is handed on as
                // the poll's result, and 134 reads as success.)
                const bool written = std::any_of(buffer.Data(), buffer.Data() + buffer.Size(),
                                                 [](char c) { return c != '\x5a'; });
                if (written && std::memchr(buffer.Data(), '\0', buffer.Size()) == nullptr) {
                    fuzz::Fail("%s left an unterminated text in its %d-byte buffer", kOpNames[step.op],
                               capacity);
                }
                break;
            }
            case kPaperIn:
                result = comm.PaperIn(step.argument1);
                break;
            case kPrintPassbookAt:
            case kPrintChitAt:
            case kMsrWrite: {
                CGuarded text(step.text.size() + 1);
                std::memcpy(text.Data(), step.text.c_str(), step.text.size() + 1);
                if (step.op == kMsrWrite) {
                    result = comm.MsrWrite(text.Data());
                } else if (step.op == kPrintPassbookAt) {
                    result = comm.PrintPassbookAt(step.argument1, step.argument2, text.Data());
                } else {
                    result = comm.PrintChitAt(step.argument1, step.argument2, text.Data());
                }
                text.Check(kOpNames[step.op]);
                if (std::memcmp(text.Data(), step.text.c_str(), step.text.size() + 1) != 0) {
                    fuzz::Fail("%s changed the text it was given", kOpNames[step.op]);
                }
                break;
            }
            case kPaperOut:
                result = comm.PaperOut();
                break;
            case kInitPrinter:
                result = comm.InitPrinter();
                break;
            case kOpCount:
                break;
        }
        CheckResult(step.op, result);
        sim.clock.watch();
        active = false;
    }
    return 0;
}
