// Family 1 printers (Birch): every write waits for CTS first, every command but initialise and
// status travels between a begin and an end command, double-byte text is framed by shift codes,
// and the answer to the status request carries the stripe data too.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/bounded_text.h"
#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"

namespace {

constexpr char kInitialise[] =
    "\x1b"
    "f";
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

class CBirchFamily final : public CPrinterFamily {
public:
    using CPrinterFamily::CPrinterFamily;

    int OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                   std::uint8_t parity) override {
        return OpenSerialDevice(port, baud, byteSize, stopBits, parity);
    }
    bool WritesWaitForCts() const override { return true; }
    bool LinkLost() override { return SerialLost(); }

    void SendStatusRequest() override { m_comm.WriteTextCts(command::kStatusRequestBirch); }
    int QueryStatus() override { return m_comm.QueryStatusB(); }

    void Initialise() override { m_comm.WriteTextCts(kInitialise); }
    int PaperIn(int kind) override {
        // The printer reports a passbook and a chit alike as 65.
        int code = MediumWaitB();
        if (code == status::BANK_TONGJN && kind == 1) {
            code = status::BANK_JUNPYO;
        }
        if ((kind == 0 && code == status::BANK_TONGJN) || (kind == 1 && code == status::BANK_JUNPYO)) {
            return status::DONE;
        }
        return code;
    }
    void PaperOut() override { EjectB(); }
    void SetColumn(int column) override;
    void SetRow(int row) override;
    void SetColour(bool red) override { SendCommandB(red ? kRed : kBlack); }
    void SetPitch(int cpi, int lpi) override;
    void SetCharacterSize(bool enlarged) override { SendCommandB(enlarged ? kEnlarged : kNormalSize); }
    void SetFontFace(int /*face*/) override {}  // this family has one type face
    int MsrRead(char* buffer, int capacity) override {
        int code = MsrReadB(buffer, capacity);
        m_comm.SetErrorText(code);
        return Done(code, status::BANK_MSR_OK);
    }
    int MsrPoll(char* buffer, int capacity) override {
        return Done(MsrPollB(buffer, capacity), status::BANK_MSR_OK);
    }
    int MsrWrite(const char* data) override {
        int code = MsrWriteB(data);
        m_comm.SetErrorText(code);
        return Done(code, status::BANK_TONGJN);
    }
    int PrintPassbook(const char* text) override { return Done(PrintB(text), status::BANK_TONGJN); }
    // A chit in this printer reports as a passbook does: the same print, and 65 means done.
    int PrintChit(const char* text) override { return Done(PrintB(text), status::BANK_TONGJN); }
    // This family has no clear command and one medium path: nothing to send.
    void SendClear() override {}
    void SelectPassbook() override {}
    void SelectChit() override {}

private:
    void SendCommandB(const char* command);
    void SendTextB(const char* text);
    int MediumWaitB();
    int EjectB();
    int PrintB(const char* text);
    int MsrReadB(char* buffer, int capacity);
    int MsrPollB(char* buffer, int capacity);
    void CopyMsrDataB(char* buffer, int capacity);
    int MsrWriteB(const char* data);
};

void CBirchFamily::SendCommandB(const char* command) {
    m_comm.WriteTextCts(kBegin);
    m_comm.WriteTextCts(command);
    m_comm.WriteTextCts(kEnd);
}

void CBirchFamily::SendTextB(const char* text) {
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

int CBirchFamily::MediumWaitB() {
    for (;;) {
        int code = m_comm.QueryStatusB();
        if (code == status::ERR_PBPROFF || code == status::BANK_TONGJN) {
            return code;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        Clock().Sleep(kPassMs);
    }
}

int CBirchFamily::EjectB() {
    for (;;) {
        SendCommandB(kEject);
        int code = m_comm.QueryStatusB();
        if (Cancelled()) {
            break;
        }
        if (code != status::BANK_ACTING && code != status::BANK_TONGJN) {
            break;
        }
        Clock().Sleep(kPassMs);
    }
    return status::DONE;
}

int CBirchFamily::PrintB(const char* text) {
    for (;;) {
        int code = m_comm.QueryStatusB();
        if (code == status::ERR_PBPROFF) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            break;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        Clock().Sleep(kPrintPassMs);
    }
    SendTextB(text);
    return status::BANK_TONGJN;
}

void CBirchFamily::SetColumn(int column) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%03d", kColumn, 2 * column);
    SendCommandB(m_comm.m_szCommand);
}

void CBirchFamily::SetRow(int row) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%03d", kRow, row == 0 ? 1 : row);
    SendCommandB(m_comm.m_szCommand);
}

void CBirchFamily::SetPitch(int cpi, int lpi) {
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%d", kPitch, PitchCode(cpi, lpi));
    SendCommandB(m_comm.m_szCommand);
}

int CBirchFamily::MsrReadB(char* buffer, int capacity) {
    for (;;) {
        int code = m_comm.QueryStatusB();
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
        Clock().Sleep(kPassMs);
    }
}

int CBirchFamily::MsrPollB(char* buffer, int capacity) {
    int code = m_comm.QueryStatusB();
    if (code == status::BANK_TONGJN) {
        SendCommandB(kMsrReadRequest);
    }
    if (code == status::BANK_MSR_OK) {
        CopyMsrDataB(buffer, capacity);
    }
    return code;
}

void CBirchFamily::CopyMsrDataB(char* buffer, int capacity) {
    // A buffer without room for the terminator takes nothing: the text would end past it.
    if (buffer != nullptr && capacity >= 1) {
        int length = CopyBounded(buffer, capacity, m_comm.m_szMsrReply + 2, 1);
        CComm::StripColons(buffer, length);
    }
    PurgeInput();
}

int CBirchFamily::MsrWriteB(const char* data) {
    // Longer data cannot be framed in one command; it is refused before the printer is asked.
    if (std::strlen(data) > static_cast<std::size_t>(kMaxStripeData)) {
        return status::ERR_DATOVER;
    }
    for (;;) {
        int code = m_comm.QueryStatusB();
        if (code == status::ERR_PBPROFF || code == status::ERR_RCVOVER || code == status::ERR_UNKNOWN) {
            return code;
        }
        if (code == status::BANK_TONGJN) {
            Clock().Sleep(kPassMs);
            break;
        }
        if (Cancelled()) {
            return status::CANCELLED;
        }
        Clock().Sleep(kPassMs);
    }
    std::snprintf(m_comm.m_szCommand, sizeof(m_comm.m_szCommand), "%s%02d%s", kMsrWrite,
                  static_cast<int>(std::strlen(data)), data);
    SendCommandB(m_comm.m_szCommand);
    int code = m_comm.QueryStatusB();
    for (int query = 1; code == status::BANK_ACTING && query < kBusyQueries; ++query) {
        Clock().Sleep(kPassMs);
        code = m_comm.QueryStatusB();
    }
    return code;
}

}  // namespace

std::unique_ptr<CPrinterFamily> MakeBirchFamily(CComm& comm) {
    return std::make_unique<CBirchFamily>(comm);
}

int CComm::QueryStatusB() {
    int code = status::ERR_PBPROFF;
    for (int attempt = 1; attempt <= timing::kAttemptsB; ++attempt) {
        SendStatusRequest();
        m_pPlatform->clock.Sleep(timing::kAttemptPauseMs);
        int first = WaitByte(timing::kReplyWaitBMs);
        if (first < 0) {
            code = status::ERR_PBPROFF;
            if (LinkDown()) {
                break;
            }
            continue;
        }
        switch (first) {
            case 0x40: {
                WaitByte(timing::kNextByteBMs);
                int bits = WaitByte(timing::kNextByteBMs);  // -1 when it does not come: every bit set
                PurgeInput();
                if ((bits & 0x01) != 0) {
                    code = status::BANK_NORMAL;
                } else if ((bits & 0x02) != 0) {
                    code = status::BANK_END_DETECT;
                } else if ((bits & 0x20) != 0) {
                    code = status::BANK_ACTING;
                } else {
                    code = status::BANK_TONGJN;
                }
                break;
            }
            case 'A':
            case 'E':
                // 'A' asks for the printer to be set up again, 'E' for the medium to come out. The
                // depth bound stops a printer that answers the recovery's own questions the same
                // way from recursing without end.
                PurgeInput();
                if (m_nRecoveryDepth < kMaxRecoveryDepth) {
                    ++m_nRecoveryDepth;
                    if (first == 'A') {
                        InitPrinter();
                    } else {
                        PaperOut();
                    }
                    --m_nRecoveryDepth;
                }
                code = first == 'A' ? status::ERR_UFORMAT : status::ERR_MSRRDWR;
                break;
            case 'M': {
                std::memset(m_szMsrReply, 0, sizeof(m_szMsrReply));
                int limit = std::min(m_nMsrLen + 2, static_cast<int>(sizeof(m_szMsrReply)) - 1);
                int count = WaitData(m_szMsrReply, limit, timing::kMsrDataWaitMs);
                if (count <= 0) {
                    return status::ERR_UNKNOWN;
                }
                // The data may follow in pieces: the next is taken while it comes within the gap,
                // until the 0xFF that ends the data or the limit.
                while (count < limit &&
                       std::memchr(m_szMsrReply, 0xFF, static_cast<std::size_t>(count)) == nullptr) {
                    const int byte = WaitByte(TailGapMs());
                    if (byte < 0) {
                        break;
                    }
                    m_szMsrReply[count++] = static_cast<char>(byte);
                }
                void* end = std::memchr(m_szMsrReply, 0xFF, static_cast<std::size_t>(count));
                if (end != nullptr) {
                    *static_cast<char*>(end) = '\0';
                } else {
                    m_szMsrReply[count] = '\0';
                }
                PurgeInput();
                code = status::BANK_MSR_OK;
                break;
            }
            default:
                code = status::ERR_UNKNOWN;
                break;
        }
        break;
    }
    SetErrorText(code);
    return code;
}
