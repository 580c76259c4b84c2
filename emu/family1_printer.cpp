// Family 1: the status request ESC 'h' and the initialise command ESC 'f' stand alone; every
// other command and all print text travel between ESC 'm' (begin) and ESC 'j' (end), and are
// ignored outside such a pair. ESC 'j' is never answered: a family 1 printer must stay quiet
// when the driver asks for a family 0 status. The status answer is 0x40, one byte, status
// bits; 'A' or 'E' after a failed stripe operation; 'M', two bytes, the stripe, 0xFF after a
// stripe read request.
#include <cstdio>

#include "emu/printer_emulator.h"

namespace emu {

namespace {

constexpr std::uint8_t kAnswerFiller = '?';  // the byte after 0x40, which the driver skips
constexpr int kCpi13 = 13;
constexpr int kCpi12 = 12;

// Lines per inch of a pitch code (bits 1 and 2); the printer's default when none is set.
int LinesPerInch(int code) {
    switch (code & 0x06) {
        case 0x06:
            return 3;
        case 0x02:
            return 6;
        case 0x04:
            return 8;
        default:
            return 6;
    }
}

}  // namespace

std::size_t CPrinterEmulator::ParseOne1() {
    auto byte = static_cast<std::uint8_t>(m_input[0]);
    if (byte != kEsc) {
        if (m_bInPair) {
            Text(byte);
        }
        return 1;
    }
    if (m_input.size() < 2) {
        return 0;
    }
    return ParseEscape1(static_cast<std::uint8_t>(m_input[1]));
}

std::size_t CPrinterEmulator::ParseEscape1(std::uint8_t letter) {
    switch (letter) {
        case cmd1::kInitialise:
            Initialise();
            return 2;
        case cmd1::kStatus:
            Answer(StatusAnswer1());
            return 2;
        case cmd1::kBegin:
        case cmd1::kEnd:
            CommitRun();
            m_bInPair = letter == cmd1::kBegin;
            return 2;
        default:
            break;
    }

    // The rest acts only inside a begin/end pair; outside one its bytes are taken and dropped.
    const bool act = m_bInPair;
    int value = 0;
    int digits = 0;
    switch (letter) {
        case cmd1::kEject:
            if (act) {
                Eject();
            }
            return 2;
        case cmd1::kColumn:
        case cmd1::kRow:
            digits = Digits(2, value);
            if (digits < 0) {
                return 0;
            }
            if (act && digits > 0) {
                CommitRun();
                (letter == cmd1::kRow ? m_nRow : m_nColumn) = value;
            }
            return 2 + static_cast<std::size_t>(digits);
        case cmd1::kBlack:
        case cmd1::kRed:
            if (act) {
                CommitRun();
                m_attributes.colour = letter == cmd1::kRed ? Colour::Red : Colour::Black;
            }
            return 2;
        case cmd1::kPitch:
            if (m_input.size() < 3) {
                return 0;
            }
            if (m_input[2] < '0' || m_input[2] > '9') {
                return 2;
            }
            if (act) {
                int code = m_input[2] - '0';
                CommitRun();
                m_attributes.pitch = (code & 0x01) != 0 ? kCpi13 : kCpi12;
                m_attributes.linesPerInch = LinesPerInch(code);
            }
            return 3;
        case cmd1::kEnlarged:
        case cmd1::kNormalSize:
            if (act) {
                CommitRun();
                m_attributes.size = letter == cmd1::kEnlarged ? Size::Enlarged : Size::Normal;
            }
            return 2;
        case cmd1::kMsrRead:
            if (act && m_medium != Medium::None) {
                m_bStripeAnswer = true;
            }
            return 2;
        case cmd1::kMsrWrite: {
            if (m_input.size() < 4) {
                return 0;
            }
            auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
            if (!isDigit(m_input[2]) || !isDigit(m_input[3])) {
                return 2;  // no two-digit length: not a stripe write
            }
            std::size_t length = static_cast<std::size_t>((m_input[2] - '0') * 10 + (m_input[3] - '0'));
            if (m_input.size() < 4 + length) {
                return 0;
            }
            if (act) {
                MsrWrite1(m_input.substr(4, length));
            }
            return 4 + length;
        }
        case cmd1::kShift:
            // Double-byte text on or off: the text bytes themselves say which characters they
            // are, so the shift codes are only taken off the text.
            return m_input.size() < 3 ? 0 : 3;
        default:
            return 2;  // a command this printer does not know is ignored
    }
}

std::string CPrinterEmulator::StatusAnswer1() {
    std::uint8_t bits = 0;
    if (m_bForced) {
        switch (m_nForcedCode) {
            case code::kUnformatted:
                return std::string(1, static_cast<char>(cmd1::kUnformattedAnswer));
            case code::kStripeError:
                return std::string(1, static_cast<char>(cmd1::kStripeErrorAnswer));
            case code::kNothingIn:
                bits = cmd1::kBitNothingIn;
                break;
            case code::kEndDetect:
                bits = cmd1::kBitEndDetect;
                break;
            case code::kBusy:
                bits = cmd1::kBitBusy;
                break;
            default:
                bits = 0;
                break;
        }
    } else if (m_bStripeAnswer) {
        m_bStripeAnswer = false;
        return StripeAnswer1();
    } else if (m_bStripeError) {
        m_bStripeError = false;
        return std::string(1, static_cast<char>(cmd1::kStripeErrorAnswer));
    } else if (m_bJammed) {
        bits = cmd1::kBitBusy;
    } else if (m_nBusyLeft > 0) {
        --m_nBusyLeft;
        bits = cmd1::kBitBusy;
    } else if (m_medium == Medium::None) {
        bits = cmd1::kBitNothingIn;
    }
    std::string answer;
    answer += static_cast<char>(cmd1::kStatusAnswer);
    answer += static_cast<char>(kAnswerFiller);
    answer += static_cast<char>(bits);
    return answer;
}

std::string CPrinterEmulator::StripeAnswer1() {
    if (m_medium != Medium::Passbook || m_stripe == StripeState::None) {
        return std::string(1, static_cast<char>(cmd1::kStripeErrorAnswer));
    }
    if (m_stripe == StripeState::Unformatted) {
        return std::string(1, static_cast<char>(cmd1::kUnformattedAnswer));
    }
    std::string data = m_strStripe.substr(0, static_cast<std::size_t>(cmd1::kStripeCapacity));
    char length[3] = {};
    std::snprintf(length, sizeof(length), "%02d", static_cast<int>(data.size()));
    std::string answer(1, static_cast<char>(cmd1::kStripeAnswer));
    answer += length;
    answer += data;
    answer += static_cast<char>(cmd1::kStripeAnswerEnd);
    return answer;
}

void CPrinterEmulator::MsrWrite1(const std::string& data) {
    if (m_medium != Medium::Passbook || m_stripe == StripeState::None ||
        data.size() > static_cast<std::size_t>(cmd1::kStripeCapacity)) {
        m_bStripeError = true;
        return;
    }
    m_stripe = StripeState::Data;
    m_strStripe = data;
    m_nBusyLeft = m_nMsrWriteBusy;
}

}  // namespace emu
