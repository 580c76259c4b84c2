#include "os/win32/win32_hangul_font.h"

#include <algorithm>
#include <iterator>

namespace win32 {

namespace {

constexpr wchar_t kFontProperty[] = L"Lodevar.HangulFont";
constexpr wchar_t kCaptionFontProperty[] = L"Lodevar.CaptionFont";
constexpr wchar_t kCaptionProcProperty[] = L"Lodevar.CaptionProc";

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

// The system's fonts for captions and menus.
bool SystemFonts(NONCLIENTMETRICSW& metrics) {
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = sizeof(metrics);
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0) != FALSE;
}

// A font of `face`'s face and size that draws Hangul, or null when `face` draws it already.
HFONT HangulVariant(HWND window, LOGFONTW face) {
    HFONT font = CreateFontIndirectW(&face);
    const bool draws = font == nullptr || DrawsHangul(window, font);
    if (font != nullptr) {
        DeleteObject(font);
    }
    if (draws) {
        return nullptr;
    }
    face.lfCharSet = HANGUL_CHARSET;
    return CreateFontIndirectW(&face);
}

// Whether the desktop composes the windows: the frames are then not drawn by the window's own
// non-client painting, and the system's font linking gives captions their Hangul.
bool Composited() {
    using IsEnabledFn = HRESULT(WINAPI*)(BOOL*);
    static const IsEnabledFn isEnabled = [] {
        HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
        return dwm != nullptr ? reinterpret_cast<IsEnabledFn>(reinterpret_cast<void (*)()>(
                                    GetProcAddress(dwm, "DwmIsCompositionEnabled")))
                              : nullptr;
    }();
    BOOL enabled = FALSE;
    return isEnabled != nullptr && SUCCEEDED(isEnabled(&enabled)) && enabled != FALSE;
}

// Draws the caption text of `window` again with its Hangul font, over what the system drew, up to
// the caption's buttons.
void DrawHangulCaption(HWND window, bool active) {
    using DrawCaptionTempFn = BOOL(WINAPI*)(HWND, HDC, const RECT*, HFONT, HICON, LPCWSTR, UINT);
    static const auto drawCaption = reinterpret_cast<DrawCaptionTempFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "DrawCaptionTempW")));
    auto font = static_cast<HFONT>(GetPropW(window, kCaptionFontProperty));
    RECT outer{};
    RECT inner{};
    if (drawCaption == nullptr || font == nullptr || !GetWindowRect(window, &outer) ||
        !GetClientRect(window, &inner)) {
        return;
    }
    // The caption lies between the frame and the client area, which starts right below it; the
    // frame is as thick at the top as at the sides.
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&inner), 2);
    OffsetRect(&inner, -outer.left, -outer.top);
    RECT area{inner.left, inner.left, inner.right - GetSystemMetrics(SM_CYCAPTION), inner.top - 1};
    if (area.right <= area.left || area.bottom <= area.top) {
        return;
    }
    wchar_t text[256] = {};
    GetWindowTextW(window, text, static_cast<int>(std::size(text)));
    BOOL gradient = FALSE;
    SystemParametersInfoW(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0);
    UINT flags = DC_TEXT | (active ? DC_ACTIVE : 0u) | (gradient ? DC_GRADIENT : 0u);
    HDC dc = GetWindowDC(window);
    if (dc != nullptr) {
        drawCaption(window, dc, &area, font, nullptr, text, flags);
        ReleaseDC(window, dc);
    }
}

// Runs the window's own procedure, then draws the caption again where the system drew it.
LRESULT CALLBACK CaptionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kCaptionProcProperty));
    LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
    switch (message) {
        case WM_NCPAINT:
        case WM_SETTEXT:
            DrawHangulCaption(window, GetActiveWindow() == window);
            break;
        case WM_NCACTIVATE:
            DrawHangulCaption(window, wParam != FALSE);
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
            RemovePropW(window, kCaptionProcProperty);
            DeleteObject(static_cast<HFONT>(RemovePropW(window, kCaptionFontProperty)));
            break;
        default:
            break;
    }
    return result;
}

// Gives the caption of `window` a Hangul font where the system's caption font lacks Hangul and the
// system draws the frame itself.
void UseHangulCaption(HWND window) {
    NONCLIENTMETRICSW metrics;
    if (GetPropW(window, kCaptionProcProperty) != nullptr || !SystemFonts(metrics) || Composited()) {
        return;
    }
    HFONT font = HangulVariant(window, metrics.lfCaptionFont);
    if (font == nullptr) {
        return;
    }
    SetPropW(window, kCaptionFontProperty, font);
    SetPropW(window, kCaptionProcProperty, reinterpret_cast<HANDLE>(GetWindowLongPtrW(window, GWLP_WNDPROC)));
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CaptionProc));
}

// The open menu whose items draw with a Hangul font.
const CHangulMenu* g_pHangulMenu = nullptr;

// The blank before and after an item's text: as wide as a check mark.
int MenuMargin() {
    return GetSystemMetrics(SM_CXMENUCHECK) + 4;
}

}  // namespace

bool UseHangulFont(HWND window) {
    UseHangulCaption(window);
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

namespace win32 {

CHangulMenu::CHangulMenu(HMENU popup) : m_hMenu(popup) {
    NONCLIENTMETRICSW metrics;
    if (popup == nullptr || g_pHangulMenu != nullptr || !SystemFonts(metrics)) {
        return;
    }
    m_hFont = HangulVariant(nullptr, metrics.lfMenuFont);
    const int count = GetMenuItemCount(popup);
    if (m_hFont == nullptr || count <= 0) {
        return;
    }
    // Every text is in place before an item points at one.
    m_texts.resize(static_cast<std::size_t>(count));
    std::vector<bool> owned(m_texts.size(), false);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = static_cast<UINT>(std::size(text));
        if (GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item) && (item.fType & MFT_SEPARATOR) == 0) {
            m_texts[static_cast<std::size_t>(i)] = text;
            owned[static_cast<std::size_t>(i)] = true;
        }
    }
    for (int i = 0; i < count; ++i) {
        if (!owned[static_cast<std::size_t>(i)]) {
            continue;
        }
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_DATA;
        item.fType = MFT_OWNERDRAW;
        item.dwItemData = reinterpret_cast<ULONG_PTR>(m_texts[static_cast<std::size_t>(i)].c_str());
        SetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item);
    }
    g_pHangulMenu = this;
}

CHangulMenu::~CHangulMenu() {
    if (g_pHangulMenu == this) {
        g_pHangulMenu = nullptr;
    }
    if (m_hFont != nullptr) {
        DeleteObject(m_hFont);
    }
}

bool HangulMenuMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const CHangulMenu* menu = g_pHangulMenu;
    if (menu == nullptr) {
        return false;
    }
    if (message == WM_MEASUREITEM) {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure == nullptr || measure->CtlType != ODT_MENU || measure->itemData == 0) {
            return false;
        }
        HDC dc = GetDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, menu->m_hFont);
        RECT needed{};
        DrawTextW(dc, reinterpret_cast<const wchar_t*>(measure->itemData), -1, &needed,
                  DT_CALCRECT | DT_SINGLELINE);
        SelectObject(dc, previous);
        ReleaseDC(nullptr, dc);
        measure->itemWidth = static_cast<UINT>(needed.right + 2 * MenuMargin());
        measure->itemHeight =
            static_cast<UINT>(std::max<LONG>(needed.bottom + 6, GetSystemMetrics(SM_CYMENU)));
        result = TRUE;
        return true;
    }
    if (message == WM_DRAWITEM) {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw == nullptr || draw->CtlType != ODT_MENU || draw->itemData == 0) {
            return false;
        }
        BOOL flat = FALSE;
        SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0);
        const bool selected = (draw->itemState & ODS_SELECTED) != 0;
        const int back = selected ? (flat ? COLOR_MENUHILIGHT : COLOR_HIGHLIGHT) : COLOR_MENU;
        FillRect(draw->hDC, &draw->rcItem, GetSysColorBrush(back));
        int ink = selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT;
        if ((draw->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0) {
            ink = COLOR_GRAYTEXT;
        }
        SetBkMode(draw->hDC, TRANSPARENT);
        COLORREF previousInk = SetTextColor(draw->hDC, GetSysColor(ink));
        HGDIOBJ previous = SelectObject(draw->hDC, menu->m_hFont);
        RECT area = draw->rcItem;
        area.left += MenuMargin();
        UINT format =
            DT_SINGLELINE | DT_VCENTER | ((draw->itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0u);
        DrawTextW(draw->hDC, reinterpret_cast<const wchar_t*>(draw->itemData), -1, &area, format);
        SelectObject(draw->hDC, previous);
        SetTextColor(draw->hDC, previousInk);
        result = TRUE;
        return true;
    }
    if (message == WM_MENUCHAR && reinterpret_cast<HMENU>(lParam) == menu->m_hMenu) {
        // The item whose "&" letter was typed runs, as it would in a menu the system draws.
        auto key = reinterpret_cast<ULONG_PTR>(
            CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(LOWORD(wParam)))));
        result = MAKELRESULT(0, MNC_IGNORE);
        for (std::size_t i = 0; i < menu->m_texts.size(); ++i) {
            const std::wstring& text = menu->m_texts[i];
            std::size_t at = text.find(L'&');
            while (at != std::wstring::npos && at + 1 < text.size() && text[at + 1] == L'&') {
                at = text.find(L'&', at + 2);
            }
            if (at != std::wstring::npos && at + 1 < text.size()) {
                auto letter = reinterpret_cast<ULONG_PTR>(
                    CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(text[at + 1]))));
                if (letter == key) {
                    result = MAKELRESULT(i, MNC_EXECUTE);
                    break;
                }
            }
        }
        return true;
    }
    return false;
}

}  // namespace win32
