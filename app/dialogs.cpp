// The logic of the driver's dialogs: what goes into their controls and what comes back.
#include "app/dialogs.h"

namespace {

int RadioOrNone(int value, int buttons) {
    return value >= 0 && value < buttons ? value : -1;
}

}  // namespace

bool CProperty::Open() {
    os::PropertyFields fields;
    fields.portRadio = RadioOrNone(m_nPortRadio, 2);
    fields.speed = m_strSpeed;
    fields.trace = m_bTrace;
    fields.msrWait = m_strMsrWait;
    fields.users = m_nUsers;
    fields.modelRadio = RadioOrNone(m_nModelRadio, 3);
    return m_desktop.OpenSettings(m_hParent, fields);
}

void CProperty::Read(const os::PropertyFields& fields) {
    m_nPortRadio = RadioOrNone(fields.portRadio, 2);
    m_strSpeed = fields.speed;
    m_bTrace = fields.trace;
    m_nModelRadio = RadioOrNone(fields.modelRadio, 3);
    // The users and MSR-wait boxes are read-only: what they showed is not taken back.
}
