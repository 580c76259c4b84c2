#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "emu/page_model.h"
#include "emu/printer_codes.h"
#include "emu/serial_peer.h"

namespace emu {

enum class StripeState { None, Unformatted, Data };

// One transfer on the line: bytes the driver wrote, or bytes the printer sent (stamped with
// the time they arrive at the driver's side).
struct WireRecord {
    std::uint32_t time = 0;
    bool toPrinter = true;
    std::string bytes;
};

// "    1234 ms -> 1b 6a" (driver to printer) or "    1236 ms <- 02 3f 72 41 03".
std::string FormatWireRecord(const WireRecord& record);

// A passbook printer of family 0 or 1 as a plain object: the driver's bytes go in through
// Write, the printer's answers come out through Readable and Read at the times they arrive.
// Time is whatever clock the caller passes (virtual in tests, real milliseconds on a pty);
// scripted events happen when a call brings a time at or after theirs.
//
// It holds one medium slot (nothing, the passbook or a chit), the passbook's stripe, the print
// head with its attributes, and a page model of everything printed. A test scripts media and
// faults through the setters below; nothing here blocks, sleeps or throws.
class CPrinterEmulator : public ISerialPeer {
public:
    // The print head in the driver's units (row without the family 0 offset, whole columns).
    struct HeadState {
        int row = 0;
        int column = 0;
        Face face = Face::Myoungjo;
        Size size = Size::Normal;
        Colour colour = Colour::Black;
        int pitch = 10;
        int linesPerInch = 6;
    };

    // `family` 0 or 1; any other value is taken as 0.
    explicit CPrinterEmulator(int family);

    int Family() const { return m_nFamily; }

    // ---- media --------------------------------------------------------------------------
    // The operator puts a medium in: at once when the slot is empty. While something is still
    // in, the operator waits, and puts it in half a second after the printer has ejected it (so
    // an eject loop that runs on until the slot reads empty does not catch it).
    void Insert(Medium medium);
    // The same at a time on the caller's clock ("a passbook at t = 2000").
    void InsertAt(Medium medium, std::uint32_t time);
    // The operator pulls out whatever is in, without the printer ejecting it; a medium the
    // operator inserts next goes in at once.
    void Remove();
    Medium Loaded() const { return m_medium; }
    // Family 0: the medium path chosen by the last select command (passbook at power-on). The
    // eject command throws out a medium only when its path is selected.
    Medium SelectedPath() const { return m_path; }
    // How many media the printer has ejected.
    int Ejections() const { return m_nEjections; }

    // ---- the passbook's stripe ------------------------------------------------------------
    // At start the passbook has a formatted stripe holding sixteen '0'.
    void SetStripe(const std::string& data);  // formatted, holding `data`
    void SetStripeUnformatted();
    void SetNoStripe();  // a passbook without a stripe: every stripe operation fails
    StripeState Stripe() const { return m_stripe; }
    const std::string& StripeData() const { return m_strStripe; }

    // ---- faults ---------------------------------------------------------------------------
    // Answers nothing at all.
    void SetSilent(bool on) { m_bSilent = on; }
    // Answers each request with a few random bytes that are no frame of either family.
    void SetGarbage(bool on) { m_bGarbage = on; }
    // From `now` on, sends noise without being asked, as fast as a 9600-baud line carries it (10
    // bytes every 10 ms), bytes that start no answer of either family, until switched off.
    void SetFlood(bool on, std::uint32_t now);
    // Sends only the first `bytes` bytes of every answer; 0 sends whole answers.
    void CutFrames(std::size_t bytes) { m_nCutBytes = bytes; }
    // Spaces the bytes of every answer `gapMs` apart; 0 sends each answer at once.
    void SetSlowFrames(std::uint32_t gapMs) { m_nSlowGapMs = gapMs; }
    // How long after a request its answer arrives (2 ms unless set).
    void SetAnswerDelay(std::uint32_t ms) { m_nAnswerDelayMs = ms; }
    // A paper jam: family 0 reports 49, family 1 reports busy, until the initialise command.
    void Jam() { m_bJammed = true; }
    bool Jammed() const { return m_bJammed; }
    // Reports `code` to every status request until ClearForcedStatus. Family 0 puts any code in
    // its frame; family 1 can express 65, 80, 85, 135 (status bits), 127 ('A') and 113 ('E')
    // and refuses others (false).
    bool ForceStatus(int code);
    void ClearForcedStatus() { m_bForced = false; }
    void SetCts(bool on) { m_bCts = on; }
    bool CtsOn() const { return m_bCts; }
    // Family 0: before the stripe frame, send `count` status frames with `code` (100 ms apart),
    // as a printer that reports its progress while the passbook moves.
    void SetStatusFramesBeforeStripe(int count, int code);
    // Family 1: after a stripe write the printer is busy for this many status requests (3
    // unless set).
    void SetMsrWriteBusy(int queries) { m_nMsrWriteBusy = queries < 0 ? 0 : queries; }

    // ---- what happened --------------------------------------------------------------------
    const CPageModel& Page() const { return m_page; }
    CPageModel& Page() { return m_page; }
    HeadState Head() const;
    const std::vector<WireRecord>& Wire() const { return m_wire; }
    // Every byte the driver has written, in order.
    const std::string& Received() const { return m_received; }

    // ---- the line -------------------------------------------------------------------------
    void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) override;
    std::size_t Readable(std::uint32_t now) override;
    std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) override;
    void PurgeReadable(std::uint32_t now) override;
    bool Cts(std::uint32_t now) override;
    // When the next queued byte arrives; false when nothing is queued.
    bool NextDue(std::uint32_t& time) const;
    bool NextArrival(std::uint32_t now, std::uint32_t& time) const override;
    // The line went dead: queued answers (also those not yet due) and a half-received command
    // are lost. Media, stripe and page stay.
    void DropLine();

private:
    struct TimedByte {
        std::uint32_t due;
        std::uint8_t value;
    };
    struct Insertion {
        Medium medium;
        bool immediate;
        std::uint32_t time;
    };
    // What a text byte is printed with, taken when a run of text starts.
    struct RunStart {
        int row = 0;
        int column = 0;  // printer units
        HeadState head;
        Medium medium = Medium::None;
    };

    static bool Reached(std::uint32_t now, std::uint32_t time) {
        return static_cast<std::int32_t>(now - time) >= 0;
    }
    void Tick(std::uint32_t now);
    void Parse();

    // Family 0 and 1 command parsers: each consumes one command or text byte from the front of
    // m_input and returns how many bytes it took, or 0 when the command is not complete yet.
    std::size_t ParseOne0();
    std::size_t ParseOne1();
    std::size_t ParseEscape0(std::uint8_t letter);
    std::size_t ParseEscape1(std::uint8_t letter);
    // Digits from m_input[pos] on: their count and value; -1 while they may go on.
    int Digits(std::size_t pos, int& value) const;
    std::string StatusFrame0(int code) const;
    int StatusCode0();
    std::string StatusAnswer1();
    std::string StripeAnswer1();
    void MsrRead0();
    void MsrWrite0();
    void MsrWrite1(const std::string& data);

    void Text(std::uint8_t byte);
    void CommitRun();
    void Initialise();
    void Eject();
    // Queues an answer, as the faults shape it, `extraMs` after the usual delay.
    void Answer(std::string frame, std::uint32_t extraMs = 0);
    std::string Garbage(int minBytes, int maxBytes);
    void Log(bool toPrinter, std::uint32_t time, const std::string& bytes);

    int m_nFamily;
    std::uint32_t m_nNow = 0;

    // Media and stripe.
    Medium m_medium = Medium::None;
    Medium m_path = Medium::Passbook;
    int m_nEjections = 0;
    std::vector<Insertion> m_insertions;
    bool m_bJustFreed = false;  // the slot was emptied at m_nFreedAt and the hand delay runs
    std::uint32_t m_nFreedAt = 0;
    StripeState m_stripe = StripeState::Data;
    std::string m_strStripe = "0000000000000000";

    // Faults.
    bool m_bSilent = false;
    bool m_bGarbage = false;
    bool m_bFlood = false;
    std::uint32_t m_nFloodNext = 0;  // when the next burst of the flood is due
    std::size_t m_nCutBytes = 0;
    std::uint32_t m_nSlowGapMs = 0;
    std::uint32_t m_nAnswerDelayMs = 2;
    bool m_bJammed = false;
    bool m_bForced = false;
    int m_nForcedCode = 0;
    bool m_bCts = true;
    int m_nProgressFrames = 0;
    int m_nProgressCode = code::kPassbookIn;
    int m_nMsrWriteBusy = 3;
    std::minstd_rand m_random{20240611u};

    // Printer state.
    std::string m_input;     // received bytes not yet taken as a command
    int m_nRow = 0;          // printer units
    int m_nColumn = 0;       // printer units (half columns on family 1)
    HeadState m_attributes;  // face, size, colour and pitch in use (row and column unused)
    std::string m_run;       // text received and not yet committed to the page
    RunStart m_runStart;
    int m_nPendingError = 0;    // family 0: reported once by the next status request
    std::string m_strMsrWrite;  // family 0: data of ESC 't', kept until ESC '\'
    bool m_bMsrWriteData = false;
    bool m_bInPair = false;        // family 1: between begin and end
    bool m_bStripeAnswer = false;  // family 1: the next status answer carries the stripe
    bool m_bStripeError = false;   // family 1: the next status answer is 'E'
    int m_nBusyLeft = 0;           // family 1: status requests still answered busy

    std::deque<TimedByte> m_output;
    bool m_bOutputInOrder = true;  // false once a flood's burst is queued behind a later answer

    CPageModel m_page;
    std::vector<WireRecord> m_wire;
    std::string m_received;
};

}  // namespace emu
