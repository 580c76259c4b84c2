#pragma once

#include <string>

#include "app/settings.h"
#include "os/desktop.h"

// The settings dialog (template 130): the settings record as its controls show it, and back.
class CProperty {
public:
    CProperty(os::IDesktop& desktop, os::Window parent) : m_desktop(desktop), m_hParent(parent) {}

    // Opens the dialog showing `settings`, the number of gates and whether an MSR wait runs. It
    // runs beside the driver's work; its answer reaches the parent later as kWmOperatorAnswer.
    // False when it is open already. Every port but 1 shows as Com2; a model no button stands for
    // shows no button checked.
    bool Open(const Settings& settings, int users, bool msrWait);
    // Takes what the dialog holds back into `settings` after OK: the port (Com1 = 1, else 2), the
    // speed read as a decimal, the trace box and the model (-1 when no button is checked). The
    // users and MSR-wait boxes are read-only, and the other settings are not in the dialog.
    static void Read(const os::PropertyFields& fields, Settings& settings);

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
