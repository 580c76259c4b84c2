// The driver's dialogs, from the templates in the resource script: the settings dialog (130), the
// question about the printer (132) and the About box (100). Each runs modally on the calling
// thread: the question on the driver's, the other two on threads of their own.
#include <windows.h>

#include <cwchar>
#include <iterator>
#include <string>

#include "os/win32/win32_desktop.h"
#include "os/win32/win32_hangul_font.h"
#include "os/win32/win32_text.h"
#include "res/resource.h"

namespace win32 {

namespace {

HINSTANCE Instance() {
    return GetModuleHandleW(nullptr);
}

std::wstring LoadText(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource itself.
    int length = LoadStringW(Instance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                         : std::wstring();
}

void SetItemText(HWND dialog, int id, const char* text) {
    std::wstring wide = WideFromCp949(text);
    if (wide.empty() && text != nullptr && text[0] != '\0') {
        SetDlgItemTextA(dialog, id, text);  // code page 949 is not installed
        return;
    }
    SetDlgItemTextW(dialog, id, wide.c_str());
}

std::wstring ItemText(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    int length = GetWindowTextLengthW(item);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int copied = GetWindowTextW(item, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

// Checks button `first + index` of a radio group and clears the others; an index outside the
// group clears them all.
void SetRadio(HWND dialog, int first, int last, int index) {
    for (int id = first; id <= last; ++id) {
        CheckDlgButton(dialog, id, id - first == index ? BST_CHECKED : BST_UNCHECKED);
    }
}

// The index of the checked button of a radio group, -1 when none is checked.
int GetRadio(HWND dialog, int first, int last) {
    for (int id = first; id <= last; ++id) {
        if (IsDlgButtonChecked(dialog, id) == BST_CHECKED) {
            return id - first;
        }
    }
    return -1;
}

// The owner of the driver's dialogs is a hidden window: a dialog is put in the middle of the
// screen's work area rather than where the hidden window happens to be.
void CenterOnScreen(HWND dialog) {
    RECT area{};
    RECT place{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || !GetWindowRect(dialog, &place)) {
        return;
    }
    int width = place.right - place.left;
    int height = place.bottom - place.top;
    SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog of the tray runs on a thread of its own, which the system does not make the foreground
// one by itself: it is brought to the front, as far as the system lets the driver (it does after a
// click on the icon).
void PlaceInFront(HWND dialog) {
    CenterOnScreen(dialog);
    SetForegroundWindow(dialog);
}

INT_PTR EndWith(HWND dialog, int result) {
    EndDialog(dialog, result);
    return TRUE;
}

// ---- the settings dialog ------------------------------------------------------------------------

void FillProperty(HWND dialog, const os::PropertyFields& fields) {
    SetRadio(dialog, IDC_COM1, IDC_COM2, fields.portRadio);
    SendDlgItemMessageW(dialog, IDC_SPEED, EM_LIMITTEXT, SPEED_MAX_CHARS, 0);
    // The limit binds typing only: a stored speed of six digits or more is shown in full, and OK
    // refuses it until it has been shortened.
    SetItemText(dialog, IDC_SPEED, fields.speed.c_str());
    CheckDlgButton(dialog, IDC_TRACE, fields.trace != 0 ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemInt(dialog, IDC_USERS, static_cast<UINT>(fields.users), TRUE);
    SetItemText(dialog, IDC_MSRWAIT, fields.msrWait.c_str());
    SetRadio(dialog, IDC_MODEL_ALDER, IDC_MODEL_CEDAR, fields.modelRadio);
}

// Takes the operator's choices; false, with the fields untouched, when the speed is too long.
bool ReadProperty(HWND dialog, os::PropertyFields& fields) {
    std::wstring speed = ItemText(dialog, IDC_SPEED);
    if (speed.size() > SPEED_MAX_CHARS) {
        wchar_t text[256];
        std::swprintf(text, std::size(text), LoadText(IDS_TEXT_TOO_LONG).c_str(), SPEED_MAX_CHARS);
        HangulMessageBox(dialog, text, LoadText(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
        HWND edit = GetDlgItem(dialog, IDC_SPEED);
        SetFocus(edit);
        SendMessageW(edit, EM_SETSEL, 0, -1);
        return false;
    }
    fields.portRadio = GetRadio(dialog, IDC_COM1, IDC_COM2);
    fields.speed = Cp949FromWide(speed);
    fields.trace = IsDlgButtonChecked(dialog, IDC_TRACE) == BST_CHECKED ? 1 : 0;
    fields.modelRadio = GetRadio(dialog, IDC_MODEL_ALDER, IDC_MODEL_CEDAR);
    // The users and MSR-wait boxes are read-only: nothing is taken back from them.
    return true;
}

INT_PTR CALLBACK PropertyProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            UseHangulFont(dialog);
            PlaceInFront(dialog);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            FillProperty(dialog, *reinterpret_cast<const os::PropertyFields*>(lParam));
            return TRUE;
        case WM_DESTROY:
            ReleaseHangulFont(dialog);
            return FALSE;
        case WM_COMMAND: {
            auto* fields = reinterpret_cast<os::PropertyFields*>(GetWindowLongPtrW(dialog, DWLP_USER));
            switch (LOWORD(wParam)) {
                case IDOK:
                    if (fields != nullptr && ReadProperty(dialog, *fields)) {
                        return EndWith(dialog, IDOK);
                    }
                    return TRUE;
                case IDCANCEL:  // also Escape and the close box
                    return EndWith(dialog, IDCANCEL);
                default:
                    return FALSE;
            }
        }
        default:
            return FALSE;
    }
}

// ---- the question about the printer -------------------------------------------------------------

INT_PTR CALLBACK MessageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            UseHangulFont(dialog);
            SetItemText(dialog, IDC_MESSAGE, reinterpret_cast<const char*>(lParam));
            // Above every other window, client applications' included, where the template put it.
            SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
            return TRUE;
        case WM_DESTROY:
            ReleaseHangulFont(dialog);
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    return EndWith(dialog, IDOK);
                case IDCANCEL:  // also Escape and the close box
                    return EndWith(dialog, IDCANCEL);
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

// ---- the About box ------------------------------------------------------------------------------

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_INITDIALOG) {
        UseHangulFont(dialog);
        PlaceInFront(dialog);
        return TRUE;
    }
    if (message == WM_DESTROY) {
        ReleaseHangulFont(dialog);
        return FALSE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        return EndWith(dialog, LOWORD(wParam));
    }
    return FALSE;
}

INT_PTR RunDialog(int templateId, os::Window parent, DLGPROC proc, LPARAM parameter) {
    return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId), reinterpret_cast<HWND>(parent), proc,
                           parameter);
}

}  // namespace

int CWin32Desktop::RunMessageDialog(os::Window parent, const char* message) {
    INT_PTR result = RunDialog(IDD_MSGDLG, parent, MessageProc,
                               reinterpret_cast<LPARAM>(message != nullptr ? message : ""));
    return result == IDOK ? os::kIdOk : os::kIdCancel;
}

INT_PTR RunSettingsDialog(HWND owner, os::PropertyFields& fields) {
    // The dialog works on a copy: Cancel leaves the caller's fields as they were.
    os::PropertyFields edited = fields;
    INT_PTR result = RunDialog(IDD_PROPERTY, reinterpret_cast<os::Window>(owner), PropertyProc,
                               reinterpret_cast<LPARAM>(&edited));
    if (result != IDOK) {
        return IDCANCEL;
    }
    fields = edited;
    return IDOK;
}

void RunAboutBox(HWND owner) {
    RunDialog(IDD_ABOUTBOX, reinterpret_cast<os::Window>(owner), AboutProc, 0);
}

}  // namespace win32
