#include "os/win32/win32_desktop.h"

#include <windows.h>

#include <string>

#include "os/win32/win32_hangul_font.h"
#include "os/win32/win32_text.h"

namespace win32 {

namespace {

int Box(HWND owner, const char* text, const char* caption, UINT type) {
    text = text != nullptr ? text : "";
    caption = caption != nullptr ? caption : "";
    std::wstring wideText = WideFromCp949(text);
    std::wstring wideCaption = WideFromCp949(caption);
    if ((wideText.empty() && text[0] != '\0') || (wideCaption.empty() && caption[0] != '\0')) {
        // The code page is not installed: the bytes as they are are better than no box at all.
        return MessageBoxA(owner, text, caption, type);
    }
    return HangulMessageBox(owner, wideText.c_str(), wideCaption.c_str(), type);
}

}  // namespace

void CWin32Desktop::MessageBoxOk(const char* text, const char* caption) {
    Box(nullptr, text, caption, MB_OK);
}

bool AskYesNo(HWND owner, const char* text, const char* caption) {
    // On a thread of its own, which the system does not make the foreground one by itself.
    return Box(owner, text, caption, MB_YESNO | MB_SETFOREGROUND) == IDYES;
}

namespace {

BOOL CALLBACK EndDialogOf(HWND window, LPARAM /*unused*/) {
    wchar_t kind[16] = {};
    GetClassNameW(window, kind, 16);
    // Message boxes are dialogs too.
    if (lstrcmpW(kind, L"#32770") == 0) {
        EndDialog(window, IDCANCEL);
    }
    return TRUE;
}

}  // namespace

void EndThreadsModalUi() {
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), EndDialogOf, 0);
}

void CWin32Desktop::CancelModal() {
    // Called from a message that the loop of a box dispatched: each box ends once control is back
    // in its loop.
    EndThreadsModalUi();
}

}  // namespace win32
