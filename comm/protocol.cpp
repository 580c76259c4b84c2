// The status exchange: finding the printer family and choosing its object, asking for the
// printer's status and turning a status code into its error text.
#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"
#include "device/texts.h"

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
    return Family() != nullptr;
}

bool CComm::SetFamily(int family) {
    if (FamilyObject(family) == nullptr) {
        return false;
    }
    m_nFamily = family;
    return true;
}

CPrinterFamily* CComm::Family() {
    // m_nFamily is also written directly (the probe, the tests): the object follows the field.
    if (m_nFamily != m_nChosenFamily) {
        m_pFamily = FamilyObject(m_nFamily);
        m_nChosenFamily = m_nFamily;
    }
    return m_pFamily;
}

CPrinterFamily* CComm::FamilyObject(int family) {
    for (auto& [number, object] : m_families) {
        if (number == family) {
            return object.get();
        }
    }
    std::unique_ptr<CPrinterFamily> object = ChooseFamily(family, *this);
    if (object == nullptr) {
        return nullptr;
    }
    m_families.emplace_back(family, std::move(object));
    return m_families.back().second.get();
}

int CComm::ProbeFamily() {
    WriteTextCts(command::kStatusRequestAlder);
    int byte = WaitByte(timing::kProbeWaitMs);
    PurgeBoth();
    if (byte >= 0) {
        return 0;
    }
    WriteTextCts(command::kStatusRequestBirch);
    byte = WaitByte(timing::kProbeWaitMs);
    PurgeBoth();
    if (byte >= 0) {
        return 1;
    }
    m_strError = text::kNoPrinter;
    return status::ERR_PBPROFF;
}

void CComm::SendStatusRequest() {
    if (CPrinterFamily* family = Family()) {
        family->SendStatusRequest();
    }
}

int CComm::QueryStatus() {
    if (!EnsureFamily()) {
        return status::ERR_PBPROFF;
    }
    return Family()->QueryStatus();
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
