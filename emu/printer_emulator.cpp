// The parts of the emulated printer both families share: the medium slot, the stripe, the print
// head and its text runs, the answer queue with its faults, and the line side.
#include "emu/printer_emulator.h"

#include <algorithm>
#include <cstdio>

namespace emu {

namespace {

// Longer than the longest command of either family (a family 1 stripe write of 99 bytes): an
// escape sequence still incomplete at this length is no command and is dropped.
constexpr std::size_t kMaxCommandBytes = 128;
constexpr std::uint32_t kDefaultAnswerDelayMs = 2;
constexpr int kDefaultPitch0 = 10;
constexpr int kDefaultPitch1 = 12;
constexpr int kDefaultLinesPerInch = 6;
constexpr int kGarbageMinBytes = 3;
constexpr int kGarbageMaxBytes = 8;
constexpr int kFloodBytes = 10;
constexpr std::uint32_t kFloodGapMs = 10;
// How long after the slot is emptied the operator's next medium goes in.
constexpr std::uint32_t kHandDelayMs = 500;

}  // namespace

std::string FormatWireRecord(const WireRecord& record) {
    char head[32] = {};
    std::snprintf(head, sizeof(head), "%8u ms %s", static_cast<unsigned>(record.time),
                  record.toPrinter ? "->" : "<-");
    std::string line = head;
    for (char c : record.bytes) {
        char hex[4] = {};
        std::snprintf(hex, sizeof(hex), " %02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
        line += hex;
    }
    return line;
}

CPrinterEmulator::CPrinterEmulator(int family) : m_nFamily(family == 1 ? 1 : 0) {
    m_nAnswerDelayMs = kDefaultAnswerDelayMs;
    m_attributes.pitch = m_nFamily == 0 ? kDefaultPitch0 : kDefaultPitch1;
}

void CPrinterEmulator::Insert(Medium medium) {
    if (medium == Medium::None) {
        return;
    }
    if (m_medium == Medium::None && !m_bJustFreed && m_insertions.empty()) {
        m_medium = medium;
        m_nRow = 0;
        m_nColumn = 0;
        return;
    }
    m_insertions.push_back(Insertion{medium, true, 0});
}

void CPrinterEmulator::InsertAt(Medium medium, std::uint32_t time) {
    if (medium != Medium::None) {
        m_insertions.push_back(Insertion{medium, false, time});
    }
}

void CPrinterEmulator::Remove() {
    CommitRun();
    m_medium = Medium::None;
    m_bStripeAnswer = false;
}

void CPrinterEmulator::SetStripe(const std::string& data) {
    m_stripe = StripeState::Data;
    m_strStripe = data;
}

void CPrinterEmulator::SetStripeUnformatted() {
    m_stripe = StripeState::Unformatted;
    m_strStripe.clear();
}

void CPrinterEmulator::SetNoStripe() {
    m_stripe = StripeState::None;
    m_strStripe.clear();
}

bool CPrinterEmulator::ForceStatus(int code) {
    if (m_nFamily == 0) {
        if (code < 0 || code > 255) {
            return false;
        }
        m_bForced = true;
        m_nForcedCode = code;
        return true;
    }
    switch (code) {
        case code::kPassbookIn:
        case code::kNothingIn:
        case code::kBusy:
        case code::kEndDetect:
        case code::kUnformatted:
        case code::kStripeError:
            m_bForced = true;
            m_nForcedCode = code;
            return true;
        default:
            return false;
    }
}

void CPrinterEmulator::SetStatusFramesBeforeStripe(int count, int code) {
    m_nProgressFrames = count < 0 ? 0 : count;
    m_nProgressCode = code;
}

CPrinterEmulator::HeadState CPrinterEmulator::Head() const {
    HeadState head = m_attributes;
    head.row = m_nFamily == 0 ? m_nRow - cmd0::kRowOffset : m_nRow;
    head.column = m_nFamily == 0 ? m_nColumn : m_nColumn / 2;
    return head;
}

// ---- the line -------------------------------------------------------------------------------

void CPrinterEmulator::SetFlood(bool on, std::uint32_t now) {
    m_bFlood = on;
    m_nFloodNext = now;
}

void CPrinterEmulator::Tick(std::uint32_t now) {
    m_nNow = now;
    for (; m_bFlood && Reached(now, m_nFloodNext); m_nFloodNext += kFloodGapMs) {
        std::string burst = Garbage(kFloodBytes, kFloodBytes);
        m_bOutputInOrder =
            m_bOutputInOrder && (m_output.empty() || Reached(m_nFloodNext, m_output.back().due));
        for (char byte : burst) {
            m_output.push_back(TimedByte{m_nFloodNext, static_cast<std::uint8_t>(byte)});
        }
        Log(false, m_nFloodNext, burst);
    }
    if (m_medium != Medium::None) {
        return;
    }
    if (m_bJustFreed) {
        if (!Reached(now, m_nFreedAt + kHandDelayMs)) {
            return;
        }
        m_bJustFreed = false;
    }
    for (auto it = m_insertions.begin(); it != m_insertions.end(); ++it) {
        if (it->immediate || Reached(now, it->time)) {
            m_medium = it->medium;
            m_nRow = 0;
            m_nColumn = 0;
            m_insertions.erase(it);
            return;
        }
    }
}

void CPrinterEmulator::Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) {
    Tick(now);
    if (n == 0) {
        return;
    }
    std::string text(reinterpret_cast<const char*>(bytes), n);
    Log(true, now, text);
    m_received += text;
    m_input += text;
    Parse();
}

void CPrinterEmulator::Parse() {
    while (!m_input.empty()) {
        std::size_t used = m_nFamily == 0 ? ParseOne0() : ParseOne1();
        if (used == 0) {
            if (m_input.size() <= kMaxCommandBytes) {
                return;  // wait for the rest of the command
            }
            used = 1;  // an escape that never completes: drop it, go on with what follows
        }
        m_input.erase(0, used);
    }
}

int CPrinterEmulator::Digits(std::size_t pos, int& value) const {
    int count = 0;
    value = 0;
    while (pos + static_cast<std::size_t>(count) < m_input.size()) {
        char c = m_input[pos + static_cast<std::size_t>(count)];
        if (c < '0' || c > '9') {
            return count;
        }
        if (value < 1000000) {
            value = value * 10 + (c - '0');
        }
        ++count;
    }
    // The received bytes end inside the digits: three digits make a whole value (the driver
    // always sends at least three), fewer may still be followed by more.
    return count >= 3 ? count : -1;
}

std::size_t CPrinterEmulator::Readable(std::uint32_t now) {
    Tick(now);
    std::size_t count = 0;
    for (const TimedByte& byte : m_output) {
        if (!Reached(now, byte.due)) {
            break;
        }
        ++count;
    }
    return count;
}

std::size_t CPrinterEmulator::Read(std::uint8_t* out, std::size_t n, std::uint32_t now) {
    Tick(now);
    std::size_t count = 0;
    while (count < n && !m_output.empty() && Reached(now, m_output.front().due)) {
        out[count++] = m_output.front().value;
        m_output.pop_front();
    }
    m_bOutputInOrder = m_bOutputInOrder || m_output.empty();
    return count;
}

void CPrinterEmulator::PurgeReadable(std::uint32_t now) {
    Tick(now);
    while (!m_output.empty() && Reached(now, m_output.front().due)) {
        m_output.pop_front();
    }
    m_bOutputInOrder = m_bOutputInOrder || m_output.empty();
}

bool CPrinterEmulator::Cts(std::uint32_t now) {
    Tick(now);
    return m_bCts;
}

bool CPrinterEmulator::NextDue(std::uint32_t& time) const {
    if (m_output.empty() && !m_bFlood) {
        return false;
    }
    time = m_output.empty() || (m_bFlood && Reached(m_output.front().due, m_nFloodNext))
               ? m_nFloodNext
               : m_output.front().due;
    return true;
}

bool CPrinterEmulator::NextArrival(std::uint32_t now, std::uint32_t& time) const {
    bool found = false;
    auto consider = [&](std::uint32_t due) {
        if (!Reached(now, due) && (!found || Reached(time, due))) {
            time = due;
            found = true;
        }
    };
    if (m_bOutputInOrder) {  // the first byte still on its way is found by halving the queue
        const auto next =
            std::partition_point(m_output.begin(), m_output.end(),
                                 [now](const TimedByte& byte) { return Reached(now, byte.due); });
        if (next != m_output.end()) {
            consider(next->due);
        }
    } else {
        for (const TimedByte& byte : m_output) {
            consider(byte.due);
        }
    }
    if (m_bFlood) {  // bursts due by now come with the next read; the one after is on its way
        const std::uint32_t late = Reached(now, m_nFloodNext) ? (now - m_nFloodNext) / kFloodGapMs + 1 : 0;
        consider(m_nFloodNext + late * kFloodGapMs);
    }
    return found;
}

void CPrinterEmulator::DropLine() {
    m_output.clear();
    m_bOutputInOrder = true;
    m_input.clear();
    m_bInPair = false;
}

// ---- answers --------------------------------------------------------------------------------

void CPrinterEmulator::Answer(std::string frame, std::uint32_t extraMs) {
    if (m_bSilent) {
        return;
    }
    if (m_bGarbage) {
        frame = Garbage(kGarbageMinBytes, kGarbageMaxBytes);
    }
    if (m_nCutBytes != 0 && frame.size() > m_nCutBytes) {
        frame.resize(m_nCutBytes);
    }
    if (frame.empty()) {
        return;
    }
    std::uint32_t due = m_nNow + m_nAnswerDelayMs + extraMs;
    // Bytes leave the printer in order: an answer never overtakes one queued before it.
    if (!m_output.empty() && !Reached(due, m_output.back().due)) {
        due = m_output.back().due;
    }
    for (std::size_t i = 0; i < frame.size(); ++i) {
        std::uint32_t at = due + static_cast<std::uint32_t>(i) * m_nSlowGapMs;
        m_output.push_back(TimedByte{at, static_cast<std::uint8_t>(frame[i])});
        if (m_nSlowGapMs != 0) {
            Log(false, at, frame.substr(i, 1));
        }
    }
    if (m_nSlowGapMs == 0) {
        Log(false, due, frame);
    }
}

std::string CPrinterEmulator::Garbage(int minBytes, int maxBytes) {
    // Bytes that start no answer of either family and do not stop the line (XON, XOFF).
    auto usable = [](int byte) {
        return byte != cmd1::kStatusAnswer && byte != cmd1::kUnformattedAnswer &&
               byte != cmd1::kStripeErrorAnswer && byte != cmd1::kStripeAnswer;
    };
    std::uniform_int_distribution<int> length(minBytes, maxBytes);
    std::uniform_int_distribution<int> value(0x20, 0xFE);
    std::string bytes;
    for (int n = length(m_random); n > 0; --n) {
        int byte = value(m_random);
        while (!usable(byte)) {
            byte = value(m_random);
        }
        bytes += static_cast<char>(byte);
    }
    return bytes;
}

void CPrinterEmulator::Log(bool toPrinter, std::uint32_t time, const std::string& bytes) {
    if (!m_wire.empty() && m_wire.back().toPrinter == toPrinter && m_wire.back().time == time) {
        m_wire.back().bytes += bytes;
        return;
    }
    m_wire.push_back(WireRecord{time, toPrinter, bytes});
}

// ---- the print head -------------------------------------------------------------------------

void CPrinterEmulator::Text(std::uint8_t byte) {
    if (byte == '\r') {
        CommitRun();
        m_nColumn = 0;
        return;
    }
    if (byte == '\n') {
        CommitRun();
        ++m_nRow;
        return;
    }
    if (byte < 0x20 || m_medium == Medium::None) {
        return;  // other control bytes print nothing, and with nothing in there is no paper
    }
    if (m_run.empty()) {
        m_runStart.row = m_nRow;
        m_runStart.column = m_nColumn;
        m_runStart.head = m_attributes;
        m_runStart.medium = m_medium;
    }
    m_run += static_cast<char>(byte);
}

void CPrinterEmulator::CommitRun() {
    if (m_run.empty()) {
        return;
    }
    PrintedLine line;
    line.row = m_nFamily == 0 ? m_runStart.row - cmd0::kRowOffset : m_runStart.row;
    line.column = m_nFamily == 0 ? m_runStart.column : m_runStart.column / 2;
    line.face = m_runStart.head.face;
    line.size = m_runStart.head.size;
    line.colour = m_runStart.head.colour;
    line.pitch = m_runStart.head.pitch;
    line.linesPerInch = m_runStart.head.linesPerInch;
    line.medium = m_runStart.medium;
    line.raw = m_run;

    int cells = 0;
    for (const Glyph& glyph : DecodeCp949(m_run)) {
        cells += glyph.width;
    }
    int unit = (m_nFamily == 0 ? 1 : 2) * (line.size == Size::Enlarged ? 2 : 1);
    m_nColumn = m_runStart.column + cells * unit;
    m_run.clear();
    m_page.Add(std::move(line));
}

void CPrinterEmulator::Initialise() {
    CommitRun();
    m_bJammed = false;
    m_attributes = HeadState{};
    m_attributes.pitch = m_nFamily == 0 ? kDefaultPitch0 : kDefaultPitch1;
    m_attributes.linesPerInch = kDefaultLinesPerInch;
    m_nPendingError = 0;
    m_bStripeAnswer = false;
    m_bStripeError = false;
    m_nBusyLeft = 0;
}

void CPrinterEmulator::Eject() {
    CommitRun();
    if (m_medium == Medium::None) {
        return;
    }
    m_medium = Medium::None;
    m_bJustFreed = true;
    m_nFreedAt = m_nNow;
    m_bStripeAnswer = false;
    m_nRow = 0;
    m_nColumn = 0;
    ++m_nEjections;
}

}  // namespace emu
