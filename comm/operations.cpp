// The printer operations the rest of the driver asks for. Each finds the family first when it is
// not yet known and hands the work to the family's object (printer_family.h), which gives the
// caller's result: 1 for success, otherwise the status code.
#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"

int CComm::InitPrinter() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    Family()->Initialise();
    m_pPlatform->clock.Sleep(timing::kInitialisePauseMs);
    return QueryStatus();
}

int CComm::PaperIn(int kind) {
    return EnsureFamily() ? Family()->PaperIn(kind) : status::ERR_PBPROFF;
}

int CComm::PaperOut() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    Family()->PaperOut();
    return status::DONE;
}

void CComm::SetPosition(int column, int row) {
    SetRow(row);
    SetColumn(column);
}

void CComm::SetColumn(int column) {
    if (EnsureFamily()) {
        Family()->SetColumn(column);
    }
}

void CComm::SetRow(int row) {
    if (EnsureFamily()) {
        Family()->SetRow(row);
    }
}

void CComm::SetBlackColor() {
    if (EnsureFamily()) {
        Family()->SetColour(false);
    }
}

void CComm::SetRedColor() {
    if (EnsureFamily()) {
        Family()->SetColour(true);
    }
}

void CComm::SetPitch(int cpi, int lpi) {
    if (EnsureFamily()) {
        Family()->SetPitch(cpi, lpi);
    }
}

void CComm::SetEnlargeFont() {
    if (EnsureFamily()) {
        Family()->SetCharacterSize(true);
    }
}

void CComm::SetNormalFont() {
    if (EnsureFamily()) {
        Family()->SetCharacterSize(false);
    }
}

void CComm::SetFontFace(int face) {
    if (EnsureFamily()) {
        Family()->SetFontFace(face);
    }
}

int CComm::MsrRead(char* buffer, int capacity) {
    return EnsureFamily() ? Family()->MsrRead(buffer, capacity) : status::ERR_PBPROFF;
}

int CComm::MsrPoll(char* buffer, int capacity) {
    return EnsureFamily() ? Family()->MsrPoll(buffer, capacity) : status::ERR_PBPROFF;
}

int CComm::MsrWrite(const char* data) {
    return EnsureFamily() ? Family()->MsrWrite(data) : status::ERR_PBPROFF;
}

int CComm::PrintPassbook(const char* text) {
    return EnsureFamily() ? Family()->PrintPassbook(text) : status::ERR_PBPROFF;
}

int CComm::PrintChit(const char* text) {
    return EnsureFamily() ? Family()->PrintChit(text) : status::ERR_PBPROFF;
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

// The three below never probe: they are steps inside other operations and the MSR advise.
void CComm::SendClear() {
    if (CPrinterFamily* family = Family()) {
        family->SendClear();
    }
}

void CComm::SelectPassbook() {
    if (CPrinterFamily* family = Family()) {
        family->SelectPassbook();
    }
}

void CComm::SelectChit() {
    if (CPrinterFamily* family = Family()) {
        family->SelectChit();
    }
}
