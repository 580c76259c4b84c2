// The notification-area icon and its menu.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <iterator>

#include "os/win32/win32_desktop.h"
#include "os/win32/win32_hangul_font.h"
#include "os/win32/win32_text.h"
#include "os/win32/win32_windows.h"
#include "res/resource.h"

namespace win32 {

namespace {

NOTIFYICONDATAW IconData(os::Window owner, std::uint32_t id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = ToHwnd(owner);
    data.uID = id;
    return data;
}

// Copies code page 949 text into a fixed wide field, cut so that the field keeps its terminator.
template <std::size_t N>
void CopyWide(wchar_t (&field)[N], const char* text) {
    std::wstring wide = WideFromCp949(text);
    std::size_t length = std::min<std::size_t>(wide.size(), N - 1);
    std::copy_n(wide.c_str(), length, field);
    field[length] = L'\0';
}

}  // namespace

bool CWin32Windows::AddTrayIcon(os::Window owner, std::uint32_t id, std::uint32_t callbackMessage,
                                const char* tip) {
    NOTIFYICONDATAW data = IconData(owner, id);
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = callbackMessage;
    // The small size of the application icon; a copy of our own, released right after the call.
    data.hIcon =
        static_cast<HICON>(LoadImageW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    // At most 127 characters, so the tip field keeps its terminator.
    CopyWide(data.szTip, tip);
    bool added = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (data.hIcon != nullptr) {
        DestroyIcon(data.hIcon);
    }
    return added;
}

void CWin32Windows::DeleteTrayIcon(os::Window owner, std::uint32_t id) {
    NOTIFYICONDATAW data = IconData(owner, id);
    Shell_NotifyIconW(NIM_DELETE, &data);
}

bool CWin32Windows::SetTrayTip(os::Window owner, std::uint32_t id, const char* tip) {
    NOTIFYICONDATAW data = IconData(owner, id);
    data.uFlags = NIF_TIP;
    CopyWide(data.szTip, tip);
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool CWin32Windows::ShowTrayBalloon(os::Window owner, std::uint32_t id, const char* title, const char* text,
                                    bool warning) {
    NOTIFYICONDATAW data = IconData(owner, id);
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    CopyWide(data.szInfoTitle, title);
    CopyWide(data.szInfo, text);
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

int TrackTrayMenu(HWND owner) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU));
    if (menu == nullptr) {
        return 0;  // the click does nothing
    }
    POINT cursor{};
    GetCursorPos(&cursor);
    // The menu closes when the operator clicks elsewhere only if its owner is the foreground
    // window; the empty message afterwards lets a second click on the icon work at once.
    SetForegroundWindow(owner);
    HMENU popup = GetSubMenu(menu, 0);
    int command = 0;
    {
        CHangulMenu hangul(popup);
        command = static_cast<int>(
            TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, cursor.x, cursor.y, 0, owner, nullptr));
    }
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return command;
}

}  // namespace win32
