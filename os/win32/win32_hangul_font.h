#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

// The driver's dialogs name a Korean face, and message boxes use the system's message font. Where
// the machine lacks a font with Hangul for them, the system substitutes one for its own script and
// Korean shows as empty boxes (a Western locale under Wine does this). These give such a window a
// font of the same face and size asked for with the Hangul character set instead, which the font
// mapper answers with a font that has Hangul. A window whose font already draws Hangul is left as
// it is, so on a Korean machine nothing changes.

// Sets the Hangul font on every child of `window` when their font lacks Hangul; true when it did.
// Where the system's caption font lacks Hangul too and the system draws the frames itself (no
// desktop composition), the window's caption is drawn again with a Hangul font after each time the
// system draws it.
bool UseHangulFont(HWND window);
// Deletes the font UseHangulFont made for `window`; call it when the window is destroyed.
void ReleaseHangulFont(HWND window);
// MessageBoxW, with the Hangul font given to the box where it needs one (the box grows when the
// font needs more room).
int HangulMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// While it lives, the items of `popup` are drawn by their owner window with a Hangul font, when
// the system's menu font lacks Hangul; otherwise it changes nothing. The owner's window procedure
// hands its WM_MEASUREITEM, WM_DRAWITEM and WM_MENUCHAR to HangulMenuMessage, which answers them
// (keeping the items' "&" letters) while such a menu is open: true when `message` belonged to it,
// with `result` its answer. One menu at a time.
class CHangulMenu;
bool HangulMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

class CHangulMenu {
public:
    explicit CHangulMenu(HMENU popup);
    ~CHangulMenu();
    CHangulMenu(const CHangulMenu&) = delete;
    CHangulMenu& operator=(const CHangulMenu&) = delete;

private:
    friend bool HangulMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HMENU m_hMenu;
    HFONT m_hFont = nullptr;
    std::vector<std::wstring> m_texts;  // one per item, separators included; the items point here
};

}  // namespace win32
