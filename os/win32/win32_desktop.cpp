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

bool CWin32Desktop::MessageBoxYesNo(os::Window owner, const char* text, const char* caption) {
    return Box(reinterpret_cast<HWND>(owner), text, caption, MB_YESNO) == IDYES;
}

}  // namespace win32
