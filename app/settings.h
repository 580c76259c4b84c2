#pragma once

#include <string>

// The driver's settings: what the settings file User\CommData.ini holds (section "Lodevar") and
// the settings dialog shows. The main window keeps one; the file, the dialog, the diagnostics log
// and the info answer all read and write this record.
//
// A new setting is a field here, a line in kSettingsKeys and, when the operator may change it, its
// control in the dialog (CProperty and the dialog's template).
struct Settings {
    // The port tried first: 1 = COM1, 2 = COM2 (3, 4: COM3, COM4; 5 and above \\.\TELNET).
    int port = 1;
    // The line speed in bits per second, handed to the port as it is.
    int speed = 9600;
    // Not 0: the device operations send their trace records to the debugger channel.
    int trace = 0;
    // The printer family: 0, 1 (the link's own), 2 (the printer library); 242 = not known yet.
    int model = 242;
    // Not 0: the diagnostics log is written. Read at start only and never written back.
    int log = 0;
};

// A key of the settings file and the field it holds. Keys the driver stores are written back
// after every successful open, in this order, and shown in the diagnostics log and the info answer.
struct SettingsKey {
    const char* name;
    int Settings::*field;
    bool stored;
};

inline constexpr SettingsKey kSettingsKeys[] = {
    {"PORT", &Settings::port, true},   {"SPEED", &Settings::speed, true}, {"TRACE", &Settings::trace, true},
    {"MODEL", &Settings::model, true}, {"LOG", &Settings::log, false},
};

// The stored keys as "PORT=1 SPEED=9600 TRACE=0 MODEL=242".
std::string DescribeSettings(const Settings& settings);
