#include "os/win32/win32_desktop.h"

#include <windows.h>

#include "os/win32/win32_text.h"

namespace win32 {

void CWin32Desktop::MessageBoxOk(const char* text, const char* caption) {
    text = text != nullptr ? text : "";
    caption = caption != nullptr ? caption : "";
    std::wstring wideText = WideFromCp949(text);
    std::wstring wideCaption = WideFromCp949(caption);
    if ((wideText.empty() && text[0] != '\0') || (wideCaption.empty() && caption[0] != '\0')) {
        // The code page is not installed: the bytes as they are are better than no box at all.
        MessageBoxA(nullptr, text, caption, MB_OK);
        return;
    }
    MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
}

}  // namespace win32
