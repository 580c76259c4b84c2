#pragma once

#include "base/decimal.h"

#include <string>

#include "os/desktop.h"

// The settings dialog (template 130): the fields its controls show, filled by the main window
// before it opens and read back from the answer of an OK.
class CProperty {
public:
    CProperty(os::IDesktop& desktop, os::Window parent) : m_desktop(desktop), m_hParent(parent) {}

    // Opens the dialog with the fields as they are. It runs beside the driver's work; its answer
    // reaches the parent later as kWmOperatorAnswer. False when it is open already. A port or model
    // value no button stands for shows no button checked.
    bool Open();
    // Takes the fields back from the dialog's fields after OK; a radio group with no button
    // checked reads as -1.
    void Read(const os::PropertyFields& fields);

    int m_nPortRadio = -1;
    std::string m_strSpeed;
    int m_bTrace = 0;
    std::string m_strMsrWait;
    int m_nUsers = 0;
    int m_nModelRadio = -1;

private:
    os::IDesktop& m_desktop;
    os::Window m_hParent;
};

// The topmost yes/no question about the printer (template 132). 1 means yes; every other result
// (the "no" button, Escape, the close box) means no.
class CMsgDlg {
public:
    CMsgDlg(os::IDesktop& desktop, os::Window parent) : m_desktop(desktop), m_hParent(parent) {}

    int DoModal() { return m_desktop.RunMessageDialog(m_hParent, m_strMessage.c_str()); }

    std::string m_strMessage;

private:
    os::IDesktop& m_desktop;
    os::Window m_hParent;
};

// The About box (template 100), beside the driver's work.
class CAboutDlg {
public:
    CAboutDlg(os::IDesktop& desktop, os::Window parent) : m_desktop(desktop), m_hParent(parent) {}

    void Open() { m_desktop.OpenAbout(m_hParent); }

private:
    os::IDesktop& m_desktop;
    os::Window m_hParent;
};
