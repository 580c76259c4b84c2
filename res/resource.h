// Resource identifiers, shared by the resource script and the code. Plain #defines only, so that
// the resource compiler can read this file too.
#pragma once

// The application icon; also the tray icon.
#define IDR_MAINFRAME 128
// The tray menu.
#define IDR_TRAYMENU 132

// Controls without an identifier of their own (labels, pictures).
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_PROPERTY 130
#define IDD_MSGDLG 132

// Controls of the settings dialog.
#define IDC_COM1 1001
#define IDC_COM2 1002
#define IDC_SPEED 1004
#define IDC_TRACE 1005
#define IDC_USERS 1006
#define IDC_MSRWAIT 1007
#define IDC_MODEL_ALDER 1011
#define IDC_MODEL_BIRCH 1012
#define IDC_MODEL_CEDAR 1013
// The text of the message dialog.
#define IDC_MESSAGE 1009

// Tray menu commands.
#define IDM_APP_ABOUT 57664
#define IDM_TRAY_CONFIG 32776
#define IDM_TRAY_INIT 32775
#define IDM_TRAY_EXIT 32773

// Strings.
#define IDS_APP_TITLE 61000
#define IDS_TEXT_TOO_LONG 61001

// The speed box takes at most this many characters.
#define SPEED_MAX_CHARS 5
