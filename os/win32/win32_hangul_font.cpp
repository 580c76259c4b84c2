#include "os/win32/win32_hangul_font.h"

#include <algorithm>
#include <iterator>

namespace win32 {

namespace {

constexpr wchar_t kFontProperty[] = L"Lodevar.HangulFont";

bool DrawsHangul(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    if (dc == nullptr) {
        return true;
    }
    HGDIOBJ previous = SelectObject(dc, font);
    WORD glyph = 0;
    // A syllable every Korean text font has.
    DWORD found = GetGlyphIndicesW(dc, L"\uAC00", 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return found == 1 && glyph != 0xFFFF;
}

// The identifier a message box gives its text; none of the driver's own dialogs uses it.
constexpr int kBoxTextId = 0xFFFF;
constexpr wchar_t kBoxProperty[] = L"Lodevar.Box";

// Grows the text of a message box, and the box with it, when the Hangul font needs more room than
// the box was laid out for; the buttons move to stay below the text.
void FitBoxText(HWND box) {
    HWND text = GetDlgItem(box, kBoxTextId);
    if (text == nullptr) {
        return;
    }
    wchar_t content[1024] = {};
    GetWindowTextW(text, content, static_cast<int>(std::size(content)));
    RECT area{};
    GetClientRect(text, &area);
    HDC dc = GetDC(text);
    if (dc == nullptr) {
        return;
    }
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(text, WM_GETFONT, 0, 0)));
    RECT needed{};
    DrawTextW(dc, content, -1, &needed, DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(text, dc);
    int wider = std::max(0, static_cast<int>(needed.right - area.right));
    int taller = std::max(0, static_cast<int>(needed.bottom - area.bottom));
    if (wider == 0 && taller == 0) {
        return;
    }
    constexpr UINT kKeep = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(text, nullptr, 0, 0, area.right + wider, area.bottom + taller, kKeep | SWP_NOMOVE);
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[16] = {};
        GetClassNameW(child, kind, static_cast<int>(std::size(kind)));
        if (lstrcmpiW(kind, L"Button") != 0) {
            continue;
        }
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
        SetWindowPos(child, nullptr, place.left + wider / 2, place.top + taller, 0, 0, kKeep | SWP_NOSIZE);
    }
    RECT outer{};
    GetWindowRect(box, &outer);
    SetWindowPos(box, nullptr, outer.left - wider / 2, outer.top - taller / 2,
                 outer.right - outer.left + wider, outer.bottom - outer.top + taller, kKeep);
}

// Watches this thread's windows while a message box is up: the box gets a Hangul font where it
// needs one, and loses it when it goes.
LRESULT CALLBACK BoxHook(int code, WPARAM wParam, LPARAM lParam) {
    auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && GetDlgItem(window, kBoxTextId) != nullptr &&
        GetPropW(window, kBoxProperty) == nullptr) {
        SetPropW(window, kBoxProperty, window);
        if (UseHangulFont(window)) {
            FitBoxText(window);
        }
    } else if (code == HCBT_DESTROYWND && RemovePropW(window, kBoxProperty) != nullptr) {
        ReleaseHangulFont(window);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool UseHangulFont(HWND window) {
    HWND first = GetWindow(window, GW_CHILD);
    HFONT current =
        first != nullptr ? reinterpret_cast<HFONT>(SendMessageW(first, WM_GETFONT, 0, 0)) : nullptr;
    if (current == nullptr) {
        current = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    }
    LOGFONTW face{};
    if (current == nullptr || GetObjectW(current, sizeof(face), &face) == 0 || DrawsHangul(window, current)) {
        return false;
    }
    face.lfCharSet = HANGUL_CHARSET;
    HFONT font = CreateFontIndirectW(&face);
    if (font == nullptr) {
        return false;
    }
    SetPropW(window, kFontProperty, font);
    for (HWND child = first; child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    return true;
}

void ReleaseHangulFont(HWND window) {
    auto font = static_cast<HFONT>(RemovePropW(window, kFontProperty));
    if (font != nullptr) {
        DeleteObject(font);
    }
}

int HangulMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    HHOOK hook = SetWindowsHookExW(WH_CBT, BoxHook, nullptr, GetCurrentThreadId());
    int answer = MessageBoxW(owner, text, caption, type);
    if (hook != nullptr) {
        UnhookWindowsHookEx(hook);
    }
    return answer;
}

}  // namespace win32
