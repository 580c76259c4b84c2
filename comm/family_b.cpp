// Family 1 printers: every write waits for CTS first, every command but initialise and status
// travels between a begin and an end command, and double-byte text is framed by shift codes.
#include <cstdio>
#include <cstring>
#include <string>

#include "base/bounded_text.h"
#include "base/status_codes.h"
#include "comm/comm.h"

namespace {

constexpr char kBegin[] =
    "\x1b"
    "m";
constexpr char kEnd[] =
    "\x1b"
    "j";
constexpr char kEject[] =
    "\x1b"
    "u";
constexpr char kColumn[] =
    "\x1b"
    "q";
constexpr char kRow[] =
    "\x1b"
    "i";
constexpr char kBlack[] =
    "\x1b"
    "c";
constexpr char kRed[] =
    "\x1b"
    "C";
constexpr char kPitch[] =
    "\x1b"
    "/";
constexpr char kEnlarged[] =
    "\x1b"
    "w";
constexpr char kNormalSize[] =
    "\x1b"
    "v";
constexpr char kMsrReadRequest[] =
    "\x1b"
    "{";
constexpr char kMsrWrite[] =
    "\x1b"
    "e";
constexpr char kDoubleByteOn[] =
    "\x1b"
    "J1";
constexpr char kDoubleByteOff[] =
    "\x1b"
    "J0";

constexpr std::uint32_t kPassMs = 100;
constexpr std::uint32_t kPrintPassMs = 500;
constexpr int kBusyQueries = 22;
// Two command bytes and two length digits leave this much of the 98-character command buffer.
constexpr int kMaxStripeData = 94;

int PitchCode(int cpi, int lpi) {
    int code = cpi == 13 ? 1 : 0;
    switch (lpi) {
        case 3:
            return code + 6;
        case 6:
            return code + 2;
        case 8:
            return code + 4;
        default:
            return code;
    }
}

}  // namespace

void CComm::SendCommandB(const char* command) {
    WriteTextCts(kBegin);
    WriteTextCts(command);
    WriteTextCts(kEnd);
}

void CComm::SendTextB(const char* text) {
    std::string converted;
    converted.reserve(std::strlen(text) * 4 + 3);
    bool doubleByte = false;
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char byte = static_cast<unsigned char>(*p);
        if (!doubleByte && byte > 0x80) {
            converted += kDoubleByteOn;
            doubleByte = true;
        } else if (doubleByte && byte < 0x80) {
            converted += kDoubleByteOff;
            doubleByte = false;
        }
        converted += static_cast<char>(byte);
    }
    if (doubleByte) {
        converted += kDoubleByteOff;
    }
    SendCommandB(converted.c_str());
}

int CComm::MediumWaitB() {
    for (;;) {
        int code = QueryStatusB();
        if (code == status::ERR_PBPROFF || code == status::BANK_TONGJN) {
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
}

int CComm::EjectB() {
    for (;;) {
        SendCommandB(kEject);
        int code = QueryStatusB();
        if (Cancelled()) {
            break;
        }
        if (code != status::BANK_ACTING && code != status::BANK_TONGJN) {
            break;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
    return status::DONE;
}

int CComm::PrintPassbookB(const char* text) {
    for (;;) {
        int code = QueryStatusB();
        if (code == status::ERR_PBPROFF) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            break;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPrintPassMs);
    }
    SendTextB(text);
    return status::BANK_TONGJN;
}

void CComm::SetColumnB(int column) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%03d", kColumn, 2 * column);
    SendCommandB(m_szCommand);
}

void CComm::SetRowB(int row) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%03d", kRow, row == 0 ? 1 : row);
    SendCommandB(m_szCommand);
}

void CComm::SetColourB(bool red) {
    SendCommandB(red ? kRed : kBlack);
}

void CComm::SetPitchB(int cpi, int lpi) {
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%d", kPitch, PitchCode(cpi, lpi));
    SendCommandB(m_szCommand);
}

void CComm::SetCharacterSizeB(bool enlarged) {
    SendCommandB(enlarged ? kEnlarged : kNormalSize);
}

int CComm::MsrReadB(char* buffer, int capacity) {
    for (;;) {
        int code = QueryStatusB();
        if (code == status::BANK_TONGJN) {
            SendCommandB(kMsrReadRequest);
        }
        if (code == status::ERR_MSRRDWR || code == status::ERR_UFORMAT) {
            return code;
        }
        if (code == status::BANK_MSR_OK) {
            CopyMsrDataB(buffer, capacity);
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
}

int CComm::MsrPollB(char* buffer, int capacity) {
    int code = QueryStatusB();
    if (code == status::BANK_TONGJN) {
        SendCommandB(kMsrReadRequest);
    }
    if (code == status::BANK_MSR_OK) {
        CopyMsrDataB(buffer, capacity);
    }
    return code;
}

void CComm::CopyMsrDataB(char* buffer, int capacity) {
    // A buffer without room for the terminator takes nothing: the text would end past it.
    if (buffer != nullptr && capacity >= 1) {
        int length = CopyBounded(buffer, capacity, m_szMsrReply + 2, 1);
        StripColons(buffer, length);
    }
    PurgeInput();
}

int CComm::MsrWriteB(const char* data) {
    // Longer data cannot be framed in one command; it is refused before the printer is asked.
    if (std::strlen(data) > static_cast<std::size_t>(kMaxStripeData)) {
        return status::ERR_DATOVER;
    }
    for (;;) {
        int code = QueryStatusB();
        if (code == status::ERR_PBPROFF || code == status::ERR_RCVOVER || code == status::ERR_UNKNOWN) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            m_pPlatform->clock.Sleep(kPassMs);
            break;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        m_pPlatform->clock.Sleep(kPassMs);
    }
    std::snprintf(m_szCommand, sizeof(m_szCommand), "%s%02d%s", kMsrWrite,
                  static_cast<int>(std::strlen(data)), data);
    SendCommandB(m_szCommand);
    int code = QueryStatusB();
    for (int query = 1; code == status::BANK_ACTING && query < kBusyQueries; ++query) {
        m_pPlatform->clock.Sleep(kPassMs);
        code = QueryStatusB();
    }
    return code;
}
