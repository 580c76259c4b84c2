#pragma once

#include <windows.h>

namespace win32 {

// The driver's dialogs name a Korean face, and message boxes use the system's message font. Where
// the machine lacks a font with Hangul for them, the system substitutes one for its own script and
// Korean shows as empty boxes (a Western locale under Wine does this). These give such a window a
// font of the same face and size asked for with the Hangul character set instead, which the font
// mapper answers with a font that has Hangul. A window whose font already draws Hangul is left as
// it is, so on a Korean machine nothing changes.

// Sets the Hangul font on every child of `window` when their font lacks Hangul; true when it did.
bool UseHangulFont(HWND window);
// Deletes the font UseHangulFont made for `window`; call it when the window is destroyed.
void ReleaseHangulFont(HWND window);
// MessageBoxW, with the Hangul font given to the box where it needs one (the box grows when the
// font needs more room).
int HangulMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

}  // namespace win32
