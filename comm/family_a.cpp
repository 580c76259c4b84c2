// Family 0 printers: escape commands written straight to the port (no CTS wait), and the
// procedures that wait for the right medium, print, position the head and use the stripe.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/status_codes.h"
#include "comm/comm.h"
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
// The longest frame kept, counted after STX up to and including ETX. A longer one is not a frame
// this printer sends: the read ends with ERR_UNKNOWN.
constexpr int kFrameLimit = 100;

bool IsOneOf(int code, std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

// Copies a NUL-terminated text into a caller's buffer of `capacity` bytes, cut to fit.
void CopyOut(char* buffer, int capacity, const char* text, int length) {
    if (buffer == nullptr || capacity <= 0) {
        return;
    }
    int count = std::min(length, capacity - 1);
    std::memcpy(buffer, text, static_cast<std::size_t>(std::max(count, 0)));
    buffer[std::max(count, 0)] = '\0';
}

}  // namespace

void CComm::SendClearA() {
    WriteText(kClear);
}

void CComm::SelectPassbookA() {
    WriteText(kSelectPassbook);
}

void CComm::SelectChitA() {
    WriteText(kSelectChit);
}

void CComm::SendRowZero() {
    WriteText(kRowZero);
}

int CComm::EjectA() {
    for (;;) {
        int code = QueryStatusA();
        if (code == status::BANK_NORMAL) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            SelectPassbookA();
        } else if (code == status::BANK_JUNPYO) {
            SelectChitA();
        }
        if (IsOneOf(code, {status::BANK_END_DETECT, status::ERR_UFORMAT, status::ERR_MSRRDWR,
                           status::ERR_UNKNOWN, status::BANK_MSR_OK})) {
            return code;
        }
        WriteText(kEject);
        if (Cancelled()) {
            return code;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
}

int CComm::PassbookWaitA() {
    SendClearA();
    for (;;) {
        int code = QueryStatusA();
        if (code == status::ERR_PBPROFF || code == status::BANK_TONGJN) {
            return code;
        }
        if (code == status::BANK_JUNPYO) {
            SelectChitA();
            EjectA();
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        SelectPassbookA();
        SendRowZero();
        m_pPlatform->clock.Sleep(kPassMs);
    }
}

int CComm::ChitWaitA() {
    SendClearA();
    for (;;) {
        int code = QueryStatusA();
        if (code == status::ERR_PBPROFF || code == status::BANK_JUNPYO) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            SelectPassbookA();
            EjectA();
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        SelectChitA();
        SendRowZero();
        m_pPlatform->clock.Sleep(kPassMs);
    }
}

int CComm::PrintPassbookA(const char* text) {
    SendClearA();
    for (;;) {
        int code = QueryStatusA();
        if (code == status::ERR_PBPROFF) {
            return code;
        }
        if (code == status::BANK_JUNPYO) {
            SelectChitA();
            EjectA();
        }
        if (code == status::BANK_TONGJN) {
            break;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
        SelectPassbookA();
        SendRowZero();
    }
    WriteText(text);
    WriteText(kPrintEnd);
    return status::BANK_TONGJN;
}

int CComm::PrintChitA(const char* text) {
    for (;;) {
        int code = QueryStatusA();
        if (IsOneOf(code,
                    {status::ERR_DATOVER, status::ERR_RCUNITS, status::ERR_PGSENSE, status::ERR_CRIBBON,
                     status::ERR_PAPERJM, status::ERR_NOPAPER, status::ERR_NOEXIST, status::ERR_COMMAND,
                     status::ERR_PAPOVER, status::ERR_RCVOVER, status::ERR_GARBAGE, status::ERR_PBPROFF})) {
            return code;
        }
        if (code == status::BANK_JUNPYO) {
            WriteText(text);
            WriteText(kPrintEnd);
            return code;
        }
        if (code == status::BANK_TONGJN) {
            SelectPassbookA();
            EjectA();
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
        SelectChitA();
        SendRowZero();
    }
}

void CComm::SetColumnA(int column) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%03d", kColumn, column);
    WriteText(m_szCommand);
    QueryStatusA();
}

void CComm::SetRowA(int row) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%03d", kRow, row + 4);
    char command[sizeof(m_szCommand)];
    std::memcpy(command, m_szCommand, sizeof(command));
    for (;;) {
        int code = QueryStatusA();
        if (code == status::BANK_TONGJN || code == status::BANK_JUNPYO) {
            WriteText(command);
            code = QueryStatusA();
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
        m_pPlatform->clock.Sleep(timing::kRowPassMs);
    }
}

void CComm::SetColourA(bool red) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%c", kColour, red ? '1' : '0');
    WriteText(m_szCommand);
}

void CComm::SetPitchA(int cpi) {
    if (cpi != 10 && cpi != 12) {
        return;
    }
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%c%c", kEsc, cpi == 10 ? '<' : '=');
    WriteText(m_szCommand);
}

void CComm::SetCharacterSizeA(bool enlarged) {
    m_pPlatform->clock.Sleep(enlarged ? kEnlargePauseMs : kNormalPauseMs);
    WriteText(enlarged ? kEnlarged : kNormalSize);
}

void CComm::SetFontFaceA(int face) {
    if (face == 0) {
        WriteText(kMyoungjo);
    } else if (face == 1) {
        WriteText(kGodic);
    }
}

int CComm::MsrReadA(char* buffer, int capacity) {
    SendClearA();
    SelectPassbookA();
    for (;;) {
        SendRowZero();
        int code = QueryStatusA();
        if (code == status::ERR_PAPERJM || code == status::BANK_JUNPYO) {
            SelectChitA();
            EjectA();
        }
        if (code == status::BANK_TONGJN) {
            return ReadMsrFrameA(buffer, capacity);
        }
        if (code == status::ERR_PBPROFF) {
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
    }
}

int CComm::MsrPollA(char* buffer, int capacity) {
    int code = QueryStatusA();
    if (code == status::ERR_PAPERJM || code == status::BANK_JUNPYO) {
        SelectChitA();
        EjectA();
        SelectPassbookA();
        SendRowZero();
        return code;
    }
    if (code == status::BANK_TONGJN) {
        return ReadMsrFrameA(buffer, capacity);
    }
    if (code == status::ERR_PBPROFF) {
        SendClearA();
        return code;
    }
    SelectPassbookA();
    SendRowZero();
    return code;
}

int CComm::ReadMsrFrameA(char* buffer, int capacity) {
    WriteText(kMsrReadRequest);
    os::IClock& clock = m_pPlatform->clock;
    for (;;) {
        // The printer has 10 s for the start of each frame. A byte that starts none is dropped
        // without giving it more time: noise that never stops ends the read as silence does.
        const std::uint32_t start = clock.Ticks();
        int byte;
        do {
            const std::int32_t left =
                timing::kFrameStartMs - static_cast<std::int32_t>(clock.Ticks() - start);
            byte = left < 0 ? -1 : WaitByte(left);
            if (byte < 0) {
                return status::ERR_PBPROFF;
            }
        } while (byte != kStx);

        char frame[kFrameLimit + 1] = {};
        int stored = 0;
        do {
            byte = WaitByte(kFrameByteMs);
            if (byte < 0) {
                return status::ERR_PBPROFF;
            }
            if (stored == kFrameLimit) {
                PurgeInput();
                return status::ERR_UNKNOWN;
            }
            frame[stored++] = static_cast<char>(byte);
        } while (byte != kEtx);
        CopyOut(buffer, capacity, frame, stored);

        if (stored >= 3 && static_cast<unsigned char>(frame[2]) == 0x7F) {
            return status::ERR_UFORMAT;
        }
        if (stored >= 2 && frame[0] == kEsc && frame[1] == 's') {
            char data[kStripeChars + 1] = {};
            int length = std::min(stored - 2, kStripeChars);
            std::memcpy(data, frame + 2, static_cast<std::size_t>(length));
            length = StripColons(data, length);
            CopyOut(buffer, capacity, data, length);
            return status::BANK_MSR_OK;
        }
        if (stored >= 3 && frame[2] == 'A') {
            m_pPlatform->clock.Sleep(kPassMs);
        }
    }
}

int CComm::MsrWriteA(const char* data) {
    SendClearA();
    SelectPassbookA();
    for (;;) {
        SendRowZero();
        int code = QueryStatusA();
        if (code == status::ERR_PAPERJM || code == status::BANK_JUNPYO) {
            SelectChitA();
            EjectA();
            SelectPassbookA();
        }
        if (code == status::BANK_TONGJN) {
            break;
        }
        if (code == status::ERR_PBPROFF) {
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%ct%*.*s%c", kEsc, kStripeChars, kStripeChars, data,
                  kGs);
    WriteText(m_szCommand);
    WriteText(kMsrWriteEnd);
    return QueryStatusA();
}
