// The logic of the driver's dialogs: what goes into their controls and what comes back.
#include "app/dialogs.h"

#include "base/decimal.h"

namespace {

int RadioOrNone(int value, int buttons) {
    return value >= 0 && value < buttons ? value : -1;
}

}  // namespace

bool CProperty::Open(const Settings& settings, int users, bool msrWait) {
    os::PropertyFields fields;
    fields.portRadio = settings.port == 1 ? 0 : 1;
    fields.speed = std::to_string(settings.speed);
    fields.trace = settings.trace;
    fields.msrWait = msrWait ? "ON" : "OFF";
    fields.users = users;
    fields.modelRadio = RadioOrNone(settings.model, 3);
    return m_desktop.OpenSettings(m_hParent, fields);
}

void CProperty::Read(const os::PropertyFields& fields, Settings& settings) {
    settings.port = RadioOrNone(fields.portRadio, 2) == 0 ? 1 : 2;
    settings.speed = ParseDecimal(fields.speed.c_str());
    settings.trace = fields.trace;
    settings.model = RadioOrNone(fields.modelRadio, 3);
}
