// Family 0 printers (Alder): escape commands written straight to the port (no CTS wait), a status
// reply framed by STX and ETX, and the procedures that wait for the right medium, print, position
// the head and use the stripe.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"

namespace {

constexpr char kClear[] =
    "\x1b"
    "l";
constexpr char kSelectPassbook[] =
    "\x1b"
    "S5";
constexpr char kSelectChit[] =
    "\x1b"
    "S6";
constexpr char kRowZero[] =
    "\x1b"
    "L000";
constexpr char kEject[] =
    "\x1b"
    "O";
constexpr char kColumn[] =
    "\x1b"
    "H";
constexpr char kRow[] =
    "\x1b"
    "L";
constexpr char kColour[] =
    "\x1b"
    "!";
constexpr char kEnlarged[] =
    "\x1b"
    "3";
constexpr char kNormalSize[] =
    "\x1b"
    "4";
constexpr char kMyoungjo[] =
    "\x1b"
    "m0";
constexpr char kGodic[] =
    "\x1b"
    "m1";
constexpr char kMsrReadRequest[] =
    "\x1b"
    "]";
constexpr char kMsrWriteEnd[] =
    "\x1b"
    "\\";
constexpr char kPrintEnd[] =
    "\x1b"
    "[000";

constexpr int kStx = 0x02;
constexpr int kEtx = 0x03;
constexpr int kEsc = 0x1b;
constexpr int kGs = 0x1d;
constexpr std::uint32_t kPassMs = 100;
constexpr std::uint32_t kEnlargePauseMs = 2000;
constexpr std::uint32_t kNormalPauseMs = 1000;
constexpr std::int32_t kFrameByteMs = 1000;
constexpr int kStripeChars = 16;
// The bytes kept after STX, ETX included: a status reply ends within 99 (the hundredth byte makes
// it garbage), a stripe frame within 100. A longer frame is not one this printer sends.
constexpr int kReplyLimit = 99;
constexpr int kStripeFrameLimit = 100;

// The two media and the commands that select them: what a wait or a print wants, and the other
// one, which is ejected when it is found in the printer.
struct Medium {
    int code;  // the status while this medium is in
    const char* select;
    int otherCode;
    const char* selectOther;
};
constexpr Medium kPassbook{status::BANK_TONGJN, kSelectPassbook, status::BANK_JUNPYO, kSelectChit};
constexpr Medium kChit{status::BANK_JUNPYO, kSelectChit, status::BANK_TONGJN, kSelectPassbook};

bool IsOneOf(int code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Copies a text into a caller's buffer of `capacity` bytes, cut to fit and terminated.
void CopyOut(char* buffer, int capacity, const char* text, int length) {
    if (buffer == nullptr || capacity <= 0) {
        return;
    }
    int count = std::min(length, capacity - 1);
    std::memcpy(buffer, text, static_cast<std::size_t>(std::max(count, 0)));
    buffer[std::max(count, 0)] = '\0';
}

enum class FrameEnd { kComplete, kSilent, kTooLong };

// Reads the bytes that follow a frame's STX into `frame`, up to and including ETX, each awaited
// for `byteWaitMs`: kSilent when one does not come, kTooLong when a byte arrives with `limit`
// bytes kept and no ETX among them. `count` is the number kept.
FrameEnd ReadFrameBody(CComm& comm, char* frame, int limit, std::int32_t byteWaitMs, int& count) {
    count = 0;
    for (;;) {
        const int byte = comm.WaitByte(byteWaitMs);
        if (byte < 0) {
            return FrameEnd::kSilent;
        }
        if (count == limit) {
            return FrameEnd::kTooLong;
        }
        frame[count++] = static_cast<char>(byte);
        if (byte == kEtx) {
            return FrameEnd::kComplete;
        }
    }
}

class CAlderFamily final : public CPrinterFamily {
public:
    using CPrinterFamily::CPrinterFamily;

    int OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                   std::uint8_t parity) override {
        return OpenSerialDevice(port, baud, byteSize, stopBits, parity);
    }
    bool WritesWaitForCts() const override { return false; }
    bool LinkLost() override { return SerialLost(); }

    void SendStatusRequest() override { m_comm.WriteText(command::kStatusRequestAlder); }
    int QueryStatus() override { return m_comm.QueryStatusA(); }

    void Initialise() override { m_comm.WriteText(command::kInitialise); }
    int PaperIn(int kind) override {
        if (kind == 0) {
            return Done(MediumWait(kPassbook), status::BANK_TONGJN);
        }
        if (kind == 1) {
            return Done(MediumWait(kChit), status::BANK_JUNPYO);
        }
        return -1;
    }
    void PaperOut() override { EjectA(); }
    void SetColumn(int column) override;
    void SetRow(int row) override;
    void SetColour(bool red) override;
    void SetPitch(int cpi, int lpi) override;
    void SetCharacterSize(bool enlarged) override;
    void SetFontFace(int face) override;
    int MsrRead(char* buffer, int capacity) override;
    int MsrPoll(char* buffer, int capacity) override;
    int MsrWrite(const char* data) override;
    int PrintPassbook(const char* text) override {
        SendClear();
        return Done(Print(kPassbook, text, {status::ERR_PBPROFF}), status::BANK_TONGJN);
    }
    int PrintChit(const char* text) override {
        // Unlike the passbook print: no clear first, and the printer's errors end the wait.
        return Done(
            Print(kChit, text,
                  {status::ERR_DATOVER, status::ERR_RCUNITS, status::ERR_PGSENSE, status::ERR_CRIBBON,
                   status::ERR_PAPERJM, status::ERR_NOPAPER, status::ERR_NOEXIST, status::ERR_COMMAND,
                   status::ERR_PAPOVER, status::ERR_RCVOVER, status::ERR_GARBAGE, status::ERR_PBPROFF}),
            status::BANK_JUNPYO);
    }
    void SendClear() override { m_comm.WriteText(kClear); }
    void SelectPassbook() override { m_comm.WriteText(kSelectPassbook); }
    void SelectChit() override { m_comm.WriteText(kSelectChit); }

private:
    void SendRowZero() { m_comm.WriteText(kRowZero); }
    // Ejects the other medium when it is in, ejecting until the printer reports none.
    void EjectOther(const Medium& medium) {
        m_comm.WriteText(medium.selectOther);
        EjectA();
    }
    int EjectA();
    int MediumWait(const Medium& medium);
    int Print(const Medium& medium, const char* text, std::initializer_list<int> stops);
    int WaitAtStripeHead(bool reselectAfterEject, std::uint32_t passPauseMs);
    int ReadMsrFrameA(char* buffer, int capacity);
};

int CAlderFamily::EjectA() {
    for (;;) {
        int code = m_comm.QueryStatusA();
        if (code == status::BANK_NORMAL) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            SelectPassbook();
        } else if (code == status::BANK_JUNPYO) {
            SelectChit();
        }
        if (IsOneOf(code, {status::BANK_END_DETECT, status::ERR_UFORMAT, status::ERR_MSRRDWR,
                           status::ERR_UNKNOWN, status::BANK_MSR_OK})) {
            return code;
        }
        m_comm.WriteText(kEject);
        if (Cancelled()) {
            return code;
        }
        Clock().Sleep(kPassMs);
    }
}

int CAlderFamily::MediumWait(const Medium& medium) {
    SendClear();
    for (;;) {
        int code = m_comm.QueryStatusA();
        if (code == status::ERR_PBPROFF || code == medium.code) {
            return code;
        }
        if (code == medium.otherCode) {
            EjectOther(medium);
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_comm.WriteText(medium.select);
        SendRowZero();
        Clock().Sleep(kPassMs);
    }
}

int CAlderFamily::Print(const Medium& medium, const char* text, std::initializer_list<int> stops) {
    for (;;) {
        int code = m_comm.QueryStatusA();
        if (IsOneOf(code, stops)) {
            return code;
        }
        if (code == medium.code) {
            m_comm.WriteText(text);
            m_comm.WriteText(kPrintEnd);
            return code;
        }
        if (code == medium.otherCode) {
            EjectOther(medium);
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        Clock().Sleep(kPassMs);
        m_comm.WriteText(medium.select);
        SendRowZero();
    }
}

void CAlderFamily::SetColumn(int column) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%03d", kColumn, column);
    m_comm.WriteText(m_comm.m_szCommand);
    m_comm.QueryStatusA();
}

void CAlderFamily::SetRow(int row) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%03d", kRow, row + 4);
    char command[sizeof(m_comm.m_szCommand)];
    std::memcpy(command, m_comm.m_szCommand, sizeof(command));
    for (;;) {
        int code = m_comm.QueryStatusA();
        if (code == status::BANK_TONGJN || code == status::BANK_JUNPYO) {
            m_comm.WriteText(command);
            code = m_comm.QueryStatusA();
            if (code == status::BANK_TONGJN || code == status::BANK_JUNPYO) {
                return;
            }
        }
        if (IsOneOf(code, {status::ERR_ROWOVER, status::ERR_DATOVER, status::ERR_RCUNITS, status::ERR_PGSENSE,
                           status::ERR_COLOVER, status::ERR_PAPERJM, status::ERR_NOPAPER, status::ERR_NOEXIST,
                           status::ERR_COMMAND, status::ERR_PAPOVER, status::ERR_RCVOVER, status::ERR_GARBAGE,
                           status::ERR_PBPROFF})) {
            return;
        }
        if (Cancelled()) {
            return;
        }
        Clock().Sleep(timing::kRowPassMs);
    }
}

void CAlderFamily::SetColour(bool red) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%c", kColour, red ? '1' : '0');
    m_comm.WriteText(m_comm.m_szCommand);
}

void CAlderFamily::SetPitch(int cpi, int /*lpi: this family has one line pitch*/) {
    if (cpi != 10 && cpi != 12) {
        return;
    }
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%c%c", kEsc, cpi == 10 ? '<' : '=');
    m_comm.WriteText(m_comm.m_szCommand);
}

void CAlderFamily::SetCharacterSize(bool enlarged) {
    Clock().Sleep(enlarged ? kEnlargePauseMs : kNormalPauseMs);
    m_comm.WriteText(enlarged ? kEnlarged : kNormalSize);
}

void CAlderFamily::SetFontFace(int face) {
    if (face == 0) {
        m_comm.WriteText(kMyoungjo);
    } else if (face == 1) {
        m_comm.WriteText(kGodic);
    }
}

int CAlderFamily::MsrRead(char* buffer, int capacity) {
    int code = WaitAtStripeHead(false, 0);
    if (code == status::BANK_TONGJN) {
        code = ReadMsrFrameA(buffer, capacity);
    }
    m_comm.SetErrorText(code);
    return Done(code, status::BANK_MSR_OK);
}

// Both stripe operations wait the same way for a passbook under the head: clear, select the
// passbook, then ask with the row at zero until it is in, ejecting a chit or a jammed medium. The
// write selects the passbook again after such an eject and pauses between passes; the read does
// neither.
int CAlderFamily::WaitAtStripeHead(bool reselectAfterEject, std::uint32_t passPauseMs) {
    SendClear();
    SelectPassbook();
    for (;;) {
        SendRowZero();
        const int code = m_comm.QueryStatusA();
        if (code == status::ERR_PAPERJM || code == status::BANK_JUNPYO) {
            EjectOther(kPassbook);
            if (reselectAfterEject) {
                SelectPassbook();
            }
        }
        if (code == status::BANK_TONGJN || code == status::ERR_PBPROFF) {
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        if (passPauseMs > 0) {
            Clock().Sleep(passPauseMs);
        }
    }
}

int CAlderFamily::MsrPoll(char* buffer, int capacity) {
    int code = m_comm.QueryStatusA();
    if (code == status::ERR_PAPERJM || code == status::BANK_JUNPYO) {
        EjectOther(kPassbook);
        SelectPassbook();
        SendRowZero();
    } else if (code == status::BANK_TONGJN) {
        code = ReadMsrFrameA(buffer, capacity);
    } else if (code == status::ERR_PBPROFF) {
        SendClear();
    } else {
        SelectPassbook();
        SendRowZero();
    }
    return Done(code, status::BANK_MSR_OK);
}

int CAlderFamily::ReadMsrFrameA(char* buffer, int capacity) {
    m_comm.WriteText(kMsrReadRequest);
    os::IClock& clock = Clock();
    for (;;) {
        // The printer has 10 s for the start of each frame. A byte that starts none is dropped
        // without giving it more time: noise that never stops ends the read as silence does.
        const std::uint32_t start = clock.Ticks();
        int byte;
        do {
            const std::int32_t left =
                timing::kFrameStartMs - static_cast<std::int32_t>(clock.Ticks() - start);
            byte = left < 0 ? -1 : m_comm.WaitByte(left);
            if (byte < 0) {
                return status::ERR_PBPROFF;
            }
        } while (byte != kStx);

        char frame[kStripeFrameLimit + 1] = {};
        int stored = 0;
        const FrameEnd end = ReadFrameBody(m_comm, frame, kStripeFrameLimit, kFrameByteMs, stored);
        if (end == FrameEnd::kSilent) {
            return status::ERR_PBPROFF;
        }
        if (end == FrameEnd::kTooLong) {
            PurgeInput();
            return status::ERR_UNKNOWN;
        }
        CopyOut(buffer, capacity, frame, stored);

        if (stored >= 3 && static_cast<unsigned char>(frame[2]) == 0x7F) {
            return status::ERR_UFORMAT;
        }
        if (stored >= 2 && frame[0] == kEsc && frame[1] == 's') {
            char data[kStripeChars + 1] = {};
            int length = std::min(stored - 2, kStripeChars);
            std::memcpy(data, frame + 2, static_cast<std::size_t>(length));
            length = CComm::StripColons(data, length);
            CopyOut(buffer, capacity, data, length);
            return status::BANK_MSR_OK;
        }
        if (stored >= 3 && frame[2] == 'A') {
            clock.Sleep(kPassMs);
        }
    }
}

int CAlderFamily::MsrWrite(const char* data) {
    int code = WaitAtStripeHead(true, kPassMs);
    if (code == status::BANK_TONGJN) {
        std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%ct%*.*s%c", kEsc, kStripeChars,
                      kStripeChars, data, kGs);
        m_comm.WriteText(m_comm.m_szCommand);
        m_comm.WriteText(kMsrWriteEnd);
        code = m_comm.QueryStatusA();
    }
    m_comm.SetErrorText(code);
    return Done(code, status::BANK_TONGJN);
}

}  // namespace

std::unique_ptr<CPrinterFamily> MakeAlderFamily(CComm& comm) {
    return std::make_unique<CAlderFamily>(comm);
}

int CComm::QueryStatusA() {
    int code = status::ERR_PBPROFF;
    for (int attempt = 1; attempt <= timing::kAttemptsA; ++attempt) {
        SendStatusRequest();
        code = ReadReplyA();
        if (code != status::BANK_NORMAL && code != status::BANK_TONGJN && code != status::BANK_JUNPYO) {
            SendClear();
        }
        if (code == status::ERR_PAPERJM && m_nRecoveryDepth < kMaxRecoveryDepth) {
            ++m_nRecoveryDepth;
            InitPrinter();
            --m_nRecoveryDepth;
        }
        if ((code != status::ERR_PBPROFF && code != status::ERR_UNKNOWN) || LinkDown()) {
            break;
        }
        m_pPlatform->clock.Sleep(timing::kAttemptPauseMs);
    }
    SetErrorText(code);
    return code;
}

int CComm::ReadReplyA() {
    int byte = WaitByte(timing::kReplyWaitAMs);
    if (byte < 0) {
        PurgeInput();
        return status::ERR_PBPROFF;
    }
    if (byte != kStx) {
        PurgeInput();
        return status::ERR_UNKNOWN;
    }
    // The rest of the frame may follow in pieces; a piece that does not come within the line's
    // gap leaves the frame cut, as no answer. The reply is: any byte, 'r', the status, ..., ETX.
    char frame[kReplyLimit + 1] = {};
    int count = 0;
    const FrameEnd end = ReadFrameBody(*this, frame, kReplyLimit, TailGapMs(), count);
    PurgeInput();
    if (end == FrameEnd::kSilent) {
        return status::ERR_PBPROFF;
    }
    if (end == FrameEnd::kTooLong || frame[1] != 'r') {
        return status::ERR_UNKNOWN;
    }
    return static_cast<unsigned char>(frame[2]);
}
