// The logic of the driver's dialogs: what goes into their controls and what comes back.
#include "app/dialogs.h"

#include <climits>

namespace {

int RadioOrNone(int value, int buttons) {
    return value >= 0 && value < buttons ? value : -1;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int CProperty::DoModal() {
    os::PropertyFields fields;
    fields.portRadio = RadioOrNone(m_nPortRadio, 2);
    fields.speed = m_strSpeed;
    fields.trace = m_bTrace;
    fields.msrWait = m_strMsrWait;
    fields.users = m_nUsers;
    fields.modelRadio = RadioOrNone(m_nModelRadio, 3);
    int result = m_desktop.RunPropertyDialog(m_hParent, fields);
    if (result != os::kIdOk) {
        return os::kIdCancel;
    }
    m_nPortRadio = RadioOrNone(fields.portRadio, 2);
    m_strSpeed = fields.speed;
    m_bTrace = fields.trace;
    m_nModelRadio = RadioOrNone(fields.modelRadio, 3);
    // The users and MSR-wait boxes are read-only: what they showed is not taken back.
    return os::kIdOk;
}

int ParseDecimal(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    while (IsBlank(*text)) {
        ++text;
    }
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= static_cast<long long>(INT_MAX) + 1) {
            value = value * 10 + (*text - '0');
        }
    }
    if (negative) {
        value = -value;
    }
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}
