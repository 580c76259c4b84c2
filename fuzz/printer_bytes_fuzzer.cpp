// Fuzz target: the bytes a family 0 or 1 printer sends back, and when, as the probe, both status
// decoders, the family 0 stripe frame and the family 1 'M' answer read them in the printer operations.
//
// Input: byte 0: the family in bits 0-1 (0, 1, else unknown: the first operation probes), CTS off in
// bit 2; byte 1: 1 + value % 8 operations, each a code (% 10, as in kNames) and its arguments: MsrRead
// and MsrPoll a capacity, PaperIn a kind (% 3), the prints column, row, length and text, MsrWrite
// length and data. Then the printer's script, chunk after chunk: trigger (% 4, as in Chunk), delay
// after that write (16 bits, % 16384 ms), gap between its bytes (below 200 in ms, else 50 ms steps),
// length and bytes.
//
// Besides the sanitizers and the checks below, every operation ends within a bound counted from when
// the printer went quiet (QuietBound). Loops the protocol leaves open end with the script, or when
// the printer has been quiet for a whole status query, by the operator's Escape: on family 0 while
// the last write is the eject ESC 'O', on family 1 during a stripe read.
#include <algorithm>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "comm/comm.h"
#include "emu/scripted_peer.h"
#include "fuzz/harness.h"

namespace {

using fuzz::Expect;
namespace protocol = fuzz::protocol;

enum Op { kProbe, kStatus, kRead, kPoll, kPaperIn, kPrint, kWrite, kPaperOut, kPrintChit, kInit };

// Each operation's name, its fields in the input, and the status queries it may still make once the
// printer is quiet and the operator's Escape rule applies, per family; an eject in the middle counts
// two: the query under way and one more (MsrRead: a query, an eject, the next pass's query;
// PrintPassbookAt: paper in, row, column, print; MsrWrite: the wait, then the busy queries).
constexpr const char* kNames[] = {"ProbeFamily", "status query",    "MsrRead",  "MsrPoll",
                                  "PaperIn",     "PrintPassbookAt", "MsrWrite", "PaperOut",
                                  "PrintChitAt", "InitPrinter"};
constexpr const char* kFields[] = {"", "", "b", "b", "b", "bbt", "t", "", "bbt", ""};
constexpr int kQuietQueries[][2] = {{0, 0},  {1, 1}, {5, 3}, {4, 2},  {5, 3},
                                    {12, 6}, {6, 5}, {3, 3}, {12, 6}, {2, 2}};

// The printer: answers nothing by itself; each chunk of the script is sent after a write of the
// driver that its trigger takes, its bytes spaced as the script says.
struct CFuzzPrinter : emu::CScriptedPeer {
    struct Chunk {
        int trigger = 0;  // any write, a status request of either family, ESC 'j' only, ESC 'h' only
        std::uint32_t delayMs = 0, gapMs = 0;
        std::string bytes;
    };

    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override {
        lastWrite.assign(reinterpret_cast<const char*>(bytes), n);
        const bool a = lastWrite == "\x1bj", b = lastWrite == "\x1bh";
        const bool fires[] = {true, a || b, a, b};
        if (chunks.empty() || !fires[chunks.front().trigger]) {
            return;
        }
        const Chunk& chunk = chunks.front();
        for (std::size_t i = 0; i < chunk.bytes.size(); ++i) {
            const auto delay = chunk.delayMs + static_cast<std::uint32_t>(i) * chunk.gapMs;
            Send(chunk.bytes.substr(i, 1), now, delay);
            m_dues.insert(now + delay);
            quietSince = std::max(quietSince, now + delay);
        }
        chunks.pop_front();
    }
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override {
        const std::size_t count = Taken(CScriptedPeer::Read(out, n, now), now);
        read.append(reinterpret_cast<const char*>(out), count);
        return count;
    }
    void PurgeReadable(std::uint32_t now) override {
        Taken(Readable(now), now);
        CScriptedPeer::PurgeReadable(now);
    }
    // How long the driver has found nothing to read and nothing has been on its way.
    std::uint32_t QuietFor(std::uint32_t now) const {
        return m_dues.empty() && now > quietSince ? now - quietSince : 0;
    }

    std::deque<Chunk> chunks;
    // When the last byte sent so far was read or purged, or arrived if later (bytes that wait unread
    // are not quiet: the driver may take them one per status query).
    std::uint32_t quietSince = 0;
    std::string lastWrite;
    std::string read;  // every byte the driver has read, in order

private:
    // The driver took `count` bytes at `now`, the first due.
    std::size_t Taken(std::size_t count, std::uint32_t now) {
        m_dues.erase(m_dues.begin(), std::next(m_dues.begin(), static_cast<std::ptrdiff_t>(count)));
        quietSince = count != 0 ? std::max(quietSince, now) : quietSince;
        return count;
    }

    std::multiset<std::uint32_t> m_dues;  // when the bytes on their way arrive
};

// The longest an operation may run once the printer is quiet; a family still unknown is probed
// first, and may turn out to be either.
std::uint32_t QuietBound(Op op, int family) {
    const std::uint32_t queries[] = {kQuietQueries[op][0] * protocol::kQuietQueryA,
                                     kQuietQueries[op][1] * protocol::kQuietQueryB};
    return 2 * (protocol::kCtsWait + protocol::kProbeWaitMs + 1) + protocol::kQuietExtras +
           (family == 0 || family == 1 ? queries[family] : std::max(queries[0], queries[1]));
}

// Whether `code` is the status byte of a frame among the bytes `read` (STX, a filler, 'r', the code).
bool FramedCode(const std::string& read, int code) {
    for (std::size_t i = 0; i + 3 < read.size(); ++i) {
        if (read[i] == '\x02' && read[i + 2] == 'r' && static_cast<std::uint8_t>(read[i + 3]) == code) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CInput input(data, size);
    const std::uint8_t setup = input.Byte();
    // The operations come first; what they do not use begins the printer's script.
    const std::vector<fuzz::Step> steps = fuzz::ReadSteps(input, 1 + input.Byte() % 8, kFields);

    CFuzzPrinter printer;
    printer.SetCts((setup & 0x04) == 0);
    while (!input.Empty()) {
        // The braced initialisers are read in order; the gap below 200 is in ms, then in 50 ms steps.
        CFuzzPrinter::Chunk chunk{input.Byte() % 4, input.Word() % 16384u, input.Byte(),
                                  input.Bytes(input.Byte())};
        chunk.gapMs = chunk.gapMs < 200 ? chunk.gapMs : (chunk.gapMs - 200) * 50;
        if (!chunk.bytes.empty()) {  // an empty chunk sends nothing: the printer stays quiet
            printer.chunks.push_back(chunk);
        }
    }

    fuzz::CFuzzPlatform sim;
    sim.serial.Attach("COM1", &printer);
    CComm comm(sim.platform);
    Expect(comm.OpenPort(1, 9600, 8, 0, 0) != 0, "COM1 did not open: %s", comm.m_strError.c_str());
    comm.m_nFamily = (setup & 0x03) <= 1 ? setup & 0x03 : 242;

    Op running = kProbe;
    std::uint32_t bound = 0;
    sim.clock.watch = [&] {
        const std::uint32_t now = sim.clock.Ticks(), quiet = std::max(printer.quietSince, sim.clock.started);
        Expect(now <= quiet + bound, "%s still runs %u ms after the printer went quiet at %u",
               kNames[running], bound, quiet);
    };
    sim.pump.escapeHeld = [&] {
        const std::uint32_t quietFor = printer.QuietFor(sim.clock.Ticks());
        const bool eject =
            comm.m_nFamily == 0 && printer.lastWrite == "\x1bO" && quietFor >= protocol::kSilentQueryA;
        const bool read = comm.m_nFamily == 1 && running == kRead && quietFor >= protocol::kSilentQueryB;
        return sim.clock.active && (eject || read);
    };

    for (const fuzz::Step& step : steps) {
        running = static_cast<Op>(step.code);
        bound = QuietBound(running, comm.m_nFamily);
        const int argument = step.arguments[0];  // a stripe buffer's size, a paper kind, a print's column
        const std::size_t readBefore = printer.read.size();
        const auto buffer = fuzz::Guarded(static_cast<std::size_t>(argument), '\x5a');
        const auto text = fuzz::Guarded(step.text.size() + 1, '\0', step.text);
        sim.clock.Begin();
        int result = status::DONE;
        if (running == kProbe) {
            const int found = comm.ProbeFamily();
            Expect(found == 0 || found == 1 || found == 242, "ProbeFamily answered %d", found);
            comm.m_nFamily = comm.m_nFamily == 242 ? found : comm.m_nFamily;
        } else {
            // The status query is that of the family found.
            result = running == kRead        ? comm.MsrRead(buffer.get(), argument)
                     : running == kPoll      ? comm.MsrPoll(buffer.get(), argument)
                     : running == kPaperIn   ? comm.PaperIn(argument % 3)
                     : running == kPrint     ? comm.PrintPassbookAt(argument, step.arguments[1], text.get())
                     : running == kPrintChit ? comm.PrintChitAt(argument, step.arguments[1], text.get())
                     : running == kWrite     ? comm.MsrWrite(text.get())
                     : running == kPaperOut  ? comm.PaperOut()
                     : running == kInit      ? comm.InitPrinter()
                     : comm.m_nFamily == 0   ? comm.QueryStatusA()
                     : comm.m_nFamily == 1   ? comm.QueryStatusB()
                                             : comm.QueryStatus();
        }
        // Whatever the driver writes into the stripe buffer is a terminated text. (A family 0 poll may
        // answer 1, success, with the buffer untouched: a status byte 1 or 134 is its result.)
        const bool written =
            std::any_of(buffer.get(), buffer.get() + argument, [](char c) { return c != '\x5a'; });
        Expect(!written || std::memchr(buffer.get(), '\0', static_cast<std::size_t>(argument)) != nullptr,
               "%s left an unterminated text in its %d-byte buffer", kNames[running], argument);
        Expect(std::memcmp(text.get(), step.text.c_str(), step.text.size() + 1) == 0,
               "%s changed the text it was given", kNames[running]);
        // The operations answer 1, a code of the status table, or a code the printer put in a frame
        // the driver read; -1 for a paper kind that is neither passbook nor chit.
        Expect(fuzz::Documented(result) || FramedCode(printer.read.substr(readBefore), result) ||
                   (result == -1 && running == kPaperIn && argument % 3 == 2),
               "%s answered %d, which is neither a status code nor one the printer sent", kNames[running],
               result);
        sim.clock.End();
    }
    return 0;
}
