// The request handlers, one per letter. Each reads the fields it needs, keeps the gate's own memory
// of the client's paper kind, font and MSR advise, and reaches the printer only through the host's
// device operations. A request arrives here already checked against its block
// (request.cpp), so the copies below stay inside both the block and the handlers' buffers.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/status_codes.h"
#include "gate/gate.h"

namespace {

constexpr int kBufferBytes = 128;
constexpr char kShiftOut = 0x0E;
constexpr char kShiftIn = 0x0F;

}  // namespace

int CGate::Execute(const gate::Request& request) {
    if (m_pHost == nullptr) {
        return status::ERR_PBPROFF;
    }
    switch (request.letter) {
        case 'A':
            return BankAdviseMsr();
        case 'C':
            return StartMsg(request);
        case 'I':
            return BankPaperIn(request);
        case 'L':
            return BankPrintAt(request);
        case 'M':
            return BankMsrWrite(request);
        case 'O':
            return BankPaperOut();
        case 'R':
            return BankMsrRead(request);
        case 'S':
            return Reset();
        case 'U':
            return BankUnadviseMsr();
        default:
            return status::NOTHING_DONE;
    }
}

void CGate::TraceFailure(const char* tag) {
    char text[kBufferBytes];
    m_pHost->GETLASTERROR(text, kBufferBytes);
    GateTrace(tag, text);
}

int CGate::BankAdviseMsr() {
    if (m_pHost->StartMsrAdvise(this) == 0) {
        return 0;
    }
    GateTrace("[GATE]BANK_ADVISE_MSR", "ADVISE OK");
    m_bAdvise = 1;
    return status::DONE;
}

int CGate::BankUnadviseMsr() {
    m_pHost->StopMsrAdvise(this);
    GateTrace("[GATE]BANK_UNADVISE_MSR", "UNADVISE OK");
    m_bAdvise = 0;
    return status::DONE;
}

int CGate::StartMsg(const gate::Request& request) {
    int result = m_pHost->SETPITCH(request.field1, request.field2);
    if (result != status::DONE) {
        TraceFailure("[GATE]StartMsg");
    }
    return result;
}

int CGate::BankPaperIn(const gate::Request& request) {
    const bool chit = request.option == '1';
    m_nPaper = chit ? 1 : 0;
    int result = m_pHost->PAPERIN(m_nPaper);
    GateTrace("[GATE]BANK_PAPER_IN", chit ? "BPBR_CHIT" : "BPBR_BANK");
    if (result != status::DONE) {
        TraceFailure("[GATE]BANK_PAPER_IN");
    }
    return result;
}

int CGate::BankPaperOut() {
    int result = m_pHost->PAPEROUT();
    m_nPaper = 2;
    if (result != status::DONE) {
        TraceFailure("[GATE]BANK_PAPER_OUT");
    }
    return result;
}

int CGate::BankPrintAt(const gate::Request& request) {
    int result = status::NOTHING_DONE;
    const int length = request.length;
    char text[kBufferBytes] = {};
    if (length > 0) {
        std::memcpy(text, request.text + gate::kHeaderBytes, static_cast<std::size_t>(length));
    }

    // Font commands go out when this gate's own font code changes, and also when another gate has
    // set the printer to another font since: the printer has one font, the gates each their own.
    if (request.option != m_nFont || request.option != m_pHost->PrinterFont()) {
        m_nFont = request.option;
        switch (m_nFont) {
            case '1':
                m_pHost->SETGODICFONT();
                m_pHost->SETNORMAFONT();
                break;
            case '2':
                m_pHost->SETGODICFONT();
                m_pHost->SETENLARGEFONT();
                break;
            case '3':
                m_pHost->SETMYOUNGJOFONT();
                m_pHost->SETNORMAFONT();
                break;
            case '4':
                m_pHost->SETMYOUNGJOFONT();
                m_pHost->SETENLARGEFONT();
                break;
            default:
                break;
        }
        if (m_nFont >= '1' && m_nFont <= '4') {
            m_pHost->SetPrinterFont(m_nFont);
        }
    }

    for (int i = 0; i < length; ++i) {
        if (text[i] == kShiftOut || text[i] == kShiftIn) {
            text[i] = ' ';
        }
    }

    if (length > 0) {
        auto column = static_cast<std::int16_t>(request.field2);
        auto row = static_cast<std::int16_t>(request.field1);
        auto count = static_cast<std::int16_t>(length);
        result = m_nPaper == 1 ? m_pHost->PRINTCHIT(column, row, text, count)
                               : m_pHost->PRINTBANK(column, row, text, count);
    }
    if (result != status::DONE) {
        TraceFailure("[GATE]BANK_PRINT_AT");
    }
    return result;
}

int CGate::BankMsrWrite(const gate::Request& request) {
    const int length = request.length;
    char data[kBufferBytes] = {};
    if (length < 1) {
        return status::ERR_MSRRDWR;
    }
    std::memcpy(data, request.text + gate::kHeaderBytes, static_cast<std::size_t>(length));
    data[length] = '\0';
    int result = m_pHost->MSRWRITE(data, length);
    if (result != status::DONE) {
        TraceFailure("[GATE]BANK_MSR_WRITE");
    }
    return result;
}

int CGate::BankMsrRead(const gate::Request& request) {
    char data[kBufferBytes] = {};
    int result = m_pHost->MSRREAD(data, kBufferBytes);
    if (result == status::DONE) {
        // The reply goes into the request block at offsets 6..88 (the parser made sure the block
        // has them). Stripe data longer than the 80-byte area is cut, and the length field gives
        // the number of bytes in the area.
        auto count = static_cast<std::size_t>(std::find(data, data + gate::kReadDataBytes, '\0') - data);
        char* reply = request.text + gate::kReadReplyOffset;
        char digits[16];
        std::snprintf(digits, sizeof(digits), "%03d", static_cast<int>(count));
        std::memcpy(reply, digits, 3);
        std::memset(request.text + gate::kHeaderBytes, 0, gate::kReadDataBytes);
        std::memcpy(request.text + gate::kHeaderBytes, data, count);
    } else {
        TraceFailure("[GATE]BANK_MSR_READ");
    }
    return result;
}

int CGate::Reset() {
    int result = m_pHost->ResetPrinter();
    if (result != status::DONE) {
        TraceFailure("[GATE]RESET");
    }
    return result;
}
