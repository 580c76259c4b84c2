// The status exchange: finding the printer family, asking for the printer's status and turning
// its answer into a status code with its error text.
#include <algorithm>
#include <cstring>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/timing.h"
#include "device/texts.h"

namespace {

constexpr int kStx = 0x02;
constexpr int kEtx = 0x03;
constexpr char kStatusRequestA[] =
    "\x1b"
    "j";
constexpr char kStatusRequestB[] =
    "\x1b"
    "h";
constexpr int kMaxFrameBytes = 100;  // bytes stored after STX before a reply counts as garbage

}  // namespace

void CComm::PurgeInput() {
    Purge(os::kPurgeRxClear);
}

void CComm::PurgeBoth() {
    Purge(os::kPurgeAll);
}

bool CComm::Cancelled() {
    // A link that is down ends every wait loop as the cancel key does: the loops that the protocol
    // runs until the printer answers (an eject, a family 1 stripe read) have nobody to wait for.
    return LinkDown() || PeekKey() == m_wCancelKey;
}

bool CComm::EnsureFamily() {
    if (m_nFamily == status::ERR_PBPROFF) {
        m_nFamily = ProbeFamily();
    }
    return m_nFamily != status::ERR_PBPROFF;
}

int CComm::ProbeFamily() {
    WriteTextCts(kStatusRequestA);
    int byte = WaitByte(timing::kProbeWaitMs);
    PurgeBoth();
    if (byte >= 0) {
        return 0;
    }
    WriteTextCts(kStatusRequestB);
    byte = WaitByte(timing::kProbeWaitMs);
    PurgeBoth();
    if (byte >= 0) {
        return 1;
    }
    m_strError = text::kNoPrinter;
    return status::ERR_PBPROFF;
}

void CComm::SendStatusRequest() {
    if (m_nFamily == status::ERR_PBPROFF) {
        return;
    }
    if (m_nFamily == 0) {
        WriteText(kStatusRequestA);
    } else {
        WriteTextCts(kStatusRequestB);
    }
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
    unsigned char frame[kMaxFrameBytes + 1] = {};
    frame[0] = kStx;
    const int gapMs = TailGapMs();
    for (int position = 1;; ++position) {
        // The rest of the frame may follow in pieces; a piece that does not come within the gap
        // leaves the frame cut, as no answer.
        byte = WaitByte(gapMs);
        if (byte < 0) {
            PurgeInput();
            return status::ERR_PBPROFF;
        }
        frame[position] = static_cast<unsigned char>(byte);
        if (position == kMaxFrameBytes) {
            PurgeInput();
            return status::ERR_UNKNOWN;
        }
        if (byte == kEtx) {
            PurgeInput();
            return frame[2] == 'r' ? frame[3] : status::ERR_UNKNOWN;
        }
    }
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
                PurgeInput();
                if (m_nRecoveryDepth < kMaxRecoveryDepth) {
                    ++m_nRecoveryDepth;
                    InitPrinter();
                    --m_nRecoveryDepth;
                }
                code = status::ERR_UFORMAT;
                break;
            case 'E':
                PurgeInput();
                if (m_nRecoveryDepth < kMaxRecoveryDepth) {
                    ++m_nRecoveryDepth;
                    PaperOut();
                    --m_nRecoveryDepth;
                }
                code = status::ERR_MSRRDWR;
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

int CComm::QueryStatus() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 0) {
        return QueryStatusA();
    }
    if (m_nFamily == 1) {
        return QueryStatusB();
    }
    return status::ERR_PBPROFF;
}

void CComm::SetErrorText(int code) {
    if (code < 16 || code > 242) {
        return;
    }
    if (const char* text = status::Text(code)) {
        m_strError = text;
    }
}

std::string CComm::GetErrorText() const {
    return m_strError;
}
