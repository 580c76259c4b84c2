// The printer operations the rest of the driver asks for. Each finds the family first when it is
// not yet known, hands the work to the family's procedure and maps the family's status code to
// the caller's result: 1 for success, otherwise the code.
#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/timing.h"

namespace {

constexpr char kInitialiseA[] =
    "\x1b"
    "0";
constexpr char kInitialiseB[] =
    "\x1b"
    "f";
constexpr char kInitialiseLibrary[] =
    "\x1b"
    "0";

}  // namespace

int CComm::InitPrinter() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 0) {
        WriteText(kInitialiseA);
    } else if (m_nFamily == 1) {
        WriteTextCts(kInitialiseB);
    } else if (m_nFamily == 2 && m_bLibLoaded == 1 && m_pWriteCommand != nullptr) {
        m_pWriteCommand(kInitialiseLibrary);
    }
    m_pPlatform->clock.Sleep(timing::kInitialisePauseMs);
    return QueryStatus();
}

int CComm::PaperIn(int kind) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 0) {
        if (kind == 0) {
            int code = PassbookWaitA();
            return code == status::BANK_TONGJN ? status::DONE : code;
        }
        if (kind == 1) {
            int code = ChitWaitA();
            return code == status::BANK_JUNPYO ? status::DONE : code;
        }
        return -1;
    }
    if (m_nFamily == 1) {
        int code = MediumWaitB();
        if (code == status::BANK_TONGJN && kind == 1) {
            code = status::BANK_JUNPYO;
        }
        if ((kind == 0 && code == status::BANK_TONGJN) || (kind == 1 && code == status::BANK_JUNPYO)) {
            return status::DONE;
        }
        return code;
    }
    return PaperInLibrary();
}

int CComm::PaperOut() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 0) {
        EjectA();
    } else if (m_nFamily == 1) {
        EjectB();
    } else if (m_bLibLoaded == 1 && m_pExpelPaper != nullptr) {
        m_pExpelPaper();
    }
    return status::DONE;
}

void CComm::SetPosition(int column, int row) {
    SetRow(row);
    SetColumn(column);
}

void CComm::SetColumn(int column) {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetColumnA(column);
    } else if (m_nFamily == 1) {
        SetColumnB(column);
    }
}

void CComm::SetRow(int row) {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetRowA(row);
    } else if (m_nFamily == 1) {
        SetRowB(row);
    }
}

void CComm::SetBlackColor() {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetColourA(false);
    } else if (m_nFamily == 1) {
        SetColourB(false);
    }
}

void CComm::SetRedColor() {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetColourA(true);
    } else if (m_nFamily == 1) {
        SetColourB(true);
    }
}

void CComm::SetPitch(int cpi, int lpi) {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetPitchA(cpi);
    } else if (m_nFamily == 1) {
        SetPitchB(cpi, lpi);
    }
}

void CComm::SetEnlargeFont() {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetCharacterSizeA(true);
    } else if (m_nFamily == 1) {
        SetCharacterSizeB(true);
    }
}

void CComm::SetNormalFont() {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetCharacterSizeA(false);
    } else if (m_nFamily == 1) {
        SetCharacterSizeB(false);
    }
}

void CComm::SetFontFace(int face) {
    if (!EnsureFamily()) {
        return;
    }
    if (m_nFamily == 0) {
        SetFontFaceA(face);
    }
}

int CComm::MsrRead(char* buffer, int capacity) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 2) {
        return MsrReadLibrary(buffer, capacity);
    }
    int code = m_nFamily == 0 ? MsrReadA(buffer, capacity) : MsrReadB(buffer, capacity);
    SetErrorText(code);
    return code == status::BANK_MSR_OK ? status::DONE : code;
}

int CComm::MsrPoll(char* buffer, int capacity) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 2) {
        return MsrReadLibrary(buffer, capacity);
    }
    int code = m_nFamily == 0 ? MsrPollA(buffer, capacity) : MsrPollB(buffer, capacity);
    return code == status::BANK_MSR_OK ? status::DONE : code;
}

int CComm::MsrWrite(const char* data) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 2) {
        return MsrWriteLibrary(data);
    }
    int code = m_nFamily == 0 ? MsrWriteA(data) : MsrWriteB(data);
    SetErrorText(code);
    return code == status::BANK_TONGJN ? status::DONE : code;
}

int CComm::PrintPassbook(const char* text) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 2) {
        return status::DONE;
    }
    int code = m_nFamily == 0 ? PrintPassbookA(text) : PrintPassbookB(text);
    return code == status::BANK_TONGJN ? status::DONE : code;
}

int CComm::PrintChit(const char* text) {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    if (m_nFamily == 2) {
        return -1;
    }
    int code;
    if (m_nFamily == 0) {
        code = PrintChitA(text);
    } else {
        code = PrintPassbookB(text);
        if (code == status::BANK_TONGJN) {
            code = status::BANK_JUNPYO;
        }
    }
    return code == status::BANK_JUNPYO ? status::DONE : code;
}

int CComm::PrintPassbookAt(int column, int row, const char* text) {
    PaperIn(0);
    SetPosition(column, row);
    return PrintPassbook(text);
}

int CComm::PrintChitAt(int column, int row, const char* text) {
    PaperIn(1);
    SetPosition(column, row);
    return PrintChit(text);
}

void CComm::SendClear() {
    if (m_nFamily == 0) {
        SendClearA();
    }
}

void CComm::SelectPassbook() {
    if (m_nFamily == 0) {
        SelectPassbookA();
    }
}

void CComm::SelectChit() {
    if (m_nFamily == 0) {
        SelectChitA();
    }
}
