// Family 0: escape commands straight on the line. A status request is answered with the frame
// STX, one byte, 'r', status byte, ETX; a stripe read with STX, ESC, 's', the stripe, ETX.
#include "emu/printer_emulator.h"

namespace emu {

namespace {

constexpr std::uint8_t kFrameFiller = '?';  // the byte after STX, which the driver skips
constexpr std::uint32_t kProgressGapMs = 100;
constexpr std::size_t kMaxStripeWrite = 64;  // the data of ESC 't' ends with GS within this

}  // namespace

std::size_t CPrinterEmulator::ParseOne0() {
    auto byte = static_cast<std::uint8_t>(m_input[0]);
    if (byte != kEsc) {
        Text(byte);
        return 1;
    }
    if (m_input.size() < 2) {
        return 0;
    }
    return ParseEscape0(static_cast<std::uint8_t>(m_input[1]));
}

std::size_t CPrinterEmulator::ParseEscape0(std::uint8_t letter) {
    int value = 0;
    int digits = 0;
    switch (letter) {
        case cmd0::kInitialise:
            Initialise();
            return 2;
        case cmd0::kStatus:
            Answer(StatusFrame0(StatusCode0()));
            return 2;
        case cmd0::kClear:
            m_nPendingError = 0;
            return 2;
        case cmd0::kSelectPath:
            if (m_input.size() < 3) {
                return 0;
            }
            if (m_input[2] == '5') {
                m_path = Medium::Passbook;
            } else if (m_input[2] == '6') {
                m_path = Medium::Chit;
            }
            return 3;
        case cmd0::kRow:
        case cmd0::kColumn:
            digits = Digits(2, value);
            if (digits < 0) {
                return 0;
            }
            if (digits > 0) {
                CommitRun();
                (letter == cmd0::kRow ? m_nRow : m_nColumn) = value;
            }
            return 2 + static_cast<std::size_t>(digits);
        case cmd0::kEject:
            // The printer can only throw out a medium on the path that is selected.
            if (m_medium != Medium::None && m_medium == m_path) {
                Eject();
            }
            return 2;
        case cmd0::kColour:
        case cmd0::kFace:
            if (m_input.size() < 3) {
                return 0;
            }
            CommitRun();
            if (letter == cmd0::kColour && (m_input[2] == '0' || m_input[2] == '1')) {
                m_attributes.colour = m_input[2] == '1' ? Colour::Red : Colour::Black;
            } else if (letter == cmd0::kFace && (m_input[2] == '0' || m_input[2] == '1')) {
                m_attributes.face = m_input[2] == '1' ? Face::Godic : Face::Myoungjo;
            }
            return 3;
        case cmd0::kPitch10:
        case cmd0::kPitch12:
            CommitRun();
            m_attributes.pitch = letter == cmd0::kPitch10 ? 10 : 12;
            return 2;
        case cmd0::kEnlarged:
        case cmd0::kNormalSize:
            CommitRun();
            m_attributes.size = letter == cmd0::kEnlarged ? Size::Enlarged : Size::Normal;
            return 2;
        case cmd0::kMsrRead:
            MsrRead0();
            return 2;
        case cmd0::kMsrWrite: {
            std::size_t end = m_input.find(static_cast<char>(kGs), 2);
            if (end == std::string::npos || end - 2 > kMaxStripeWrite) {
                if (m_input.size() - 2 <= kMaxStripeWrite) {
                    return 0;
                }
                return 2;  // no GS where it belongs: not a stripe write
            }
            m_strMsrWrite = m_input.substr(2, end - 2);
            m_bMsrWriteData = true;
            return end + 1;
        }
        case cmd0::kMsrWriteEnd:
            MsrWrite0();
            return 2;
        case cmd0::kPrintEnd:
            digits = Digits(2, value);
            if (digits < 0) {
                return 0;
            }
            CommitRun();
            return 2 + static_cast<std::size_t>(digits);
        default:
            return 2;  // a command this printer does not know is ignored
    }
}

int CPrinterEmulator::StatusCode0() {
    if (m_bForced) {
        return m_nForcedCode;
    }
    if (m_bJammed) {
        return code::kPaperJam;
    }
    if (m_nPendingError != 0) {
        int pending = m_nPendingError;
        m_nPendingError = 0;
        return pending;
    }
    switch (m_medium) {
        case Medium::Passbook:
            return code::kPassbookIn;
        case Medium::Chit:
            return code::kChitIn;
        case Medium::None:
            break;
    }
    return code::kNothingIn;
}

std::string CPrinterEmulator::StatusFrame0(int code) const {
    std::string frame;
    frame += static_cast<char>(kStx);
    frame += static_cast<char>(kFrameFiller);
    frame += static_cast<char>(cmd0::kStatusReply);
    frame += static_cast<char>(static_cast<std::uint8_t>(code));
    frame += static_cast<char>(kEtx);
    return frame;
}

void CPrinterEmulator::MsrRead0() {
    if (m_medium != Medium::Passbook || m_bForced || m_bJammed) {
        Answer(StatusFrame0(StatusCode0()));
        return;
    }
    switch (m_stripe) {
        case StripeState::None:
            Answer(StatusFrame0(code::kStripeError));
            return;
        case StripeState::Unformatted:
            Answer(StatusFrame0(code::kUnformatted));
            return;
        case StripeState::Data:
            break;
    }
    std::uint32_t extra = 0;
    for (int i = 0; i < m_nProgressFrames; ++i, extra += kProgressGapMs) {
        Answer(StatusFrame0(m_nProgressCode), extra);
    }
    std::string frame;
    frame += static_cast<char>(kStx);
    frame += static_cast<char>(kEsc);
    frame += static_cast<char>(cmd0::kStripeFrame);
    frame += m_strStripe;
    frame += static_cast<char>(kEtx);
    Answer(frame, extra);
}

void CPrinterEmulator::MsrWrite0() {
    if (!m_bMsrWriteData) {
        return;  // nothing to write
    }
    m_bMsrWriteData = false;
    if (m_medium != Medium::Passbook || m_stripe == StripeState::None) {
        m_nPendingError = code::kStripeError;
        return;
    }
    m_stripe = StripeState::Data;
    m_strStripe = m_strMsrWrite;
}

}  // namespace emu
