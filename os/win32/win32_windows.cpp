#include "os/win32/win32_windows.h"

#include "os/win32/win32_text.h"
#include "res/resource.h"

namespace win32 {

namespace {

constexpr wchar_t kGateClassName[] = L"Lodevar:Gate";
constexpr int kGateChildId = 1;

// The number Windows gives the "TaskbarCreated" broadcast in this session; the logic sees it as
// os::kWmTaskbarCreated.
UINT g_taskbarCreated = 0;

using ChangeFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
constexpr DWORD kMsgFltAllow = 1;

// The longest the driver waits for a client window to take a message it sends (the MSR advise reply,
// the end-of-print notice). A client that hangs, or whose thread has stopped, costs the driver this
// much once per message, and the message is lost to it.
constexpr UINT kClientReplyMs = 5000;

}  // namespace

CWin32Windows::CWin32Windows() : m_hInstance(GetModuleHandleW(nullptr)) {
    if (g_taskbarCreated == 0) {
        g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    }
}

LRESULT CALLBACK CWin32Windows::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* proc = reinterpret_cast<os::IWindowProc*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        // The last message of the window: nothing reaches the logic after it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        proc = nullptr;
    }
    // The fixed number the logic knows the shell's broadcast by is not taken from anyone else.
    if (proc == nullptr || message == os::kWmTaskbarCreated) {
        return DefWindowProcW(window, message, wParam, lParam);
    }

    os::Message incoming;
    incoming.id = message != 0 && message == g_taskbarCreated ? os::kWmTaskbarCreated : message;
    incoming.wParam = wParam;
    incoming.lParam = lParam;
    if (message == WM_COPYDATA && lParam != 0) {
        // Only the block's description is taken; its bytes are the logic's to read, within cbData.
        const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        incoming.copyTag = copy->dwData;
        incoming.copySize = copy->cbData;
        incoming.copyData = copy->lpData;
    }
    os::MessageResult result = proc->OnMessage(FromHwnd(window), incoming);
    if (!result.handled) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return result.value;
}

void CWin32Windows::AllowFromLowerIntegrity(HWND window) {
    // Windows Vista has only the process-wide filter; the per-window one is looked up so that the
    // program still starts where it is missing.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr) {
        return;
    }
    auto change = reinterpret_cast<ChangeFilterFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    if (change == nullptr) {
        return;
    }
    // Client requests, the driver's private messages and the shell's broadcast.
    for (UINT message : {static_cast<UINT>(WM_COPYDATA), os::kWmCloseQuiet, os::kWmGateRequest,
                         os::kWmTrayNotify, g_taskbarCreated}) {
        if (message != 0) {
            change(window, message, kMsgFltAllow, nullptr);
        }
    }
}

bool CWin32Windows::RegisterMainClass(const char* className) {
    std::wstring name = WideFromCp949(className);
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(m_hInstance, name.c_str(), &existing)) {
        return true;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_NOCLOSE;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = m_hInstance;
    wc.hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    wc.lpszClassName = name.c_str();
    return RegisterClassExW(&wc) != 0;
}

const wchar_t* CWin32Windows::GateClass() {
    if (m_gateClass == 0) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = m_hInstance;
        wc.lpszClassName = kGateClassName;
        m_gateClass = RegisterClassExW(&wc);
        if (m_gateClass == 0) {
            return nullptr;
        }
    }
    return kGateClassName;
}

os::Window CWin32Windows::CreateMainWindow(const char* className, const char* windowName,
                                           os::IWindowProc& proc) {
    std::wstring wideClass = WideFromCp949(className);
    std::wstring wideName = WideFromCp949(windowName);
    // Not visible: the window is shown only as its creation minimises it, then hidden for good.
    HWND window =
        CreateWindowExW(0, wideClass.c_str(), wideName.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, m_hInstance, &proc);
    if (window != nullptr) {
        AllowFromLowerIntegrity(window);
    }
    return FromHwnd(window);
}

os::Window CWin32Windows::CreateGateWindow(os::Window parent, os::IWindowProc& proc) {
    const wchar_t* gateClass = GateClass();
    if (gateClass == nullptr) {
        return 0;
    }
    HWND window =
        CreateWindowExW(0, gateClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, ToHwnd(parent),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kGateChildId)), m_hInstance, &proc);
    if (window != nullptr) {
        AllowFromLowerIntegrity(window);
    }
    return FromHwnd(window);
}

void CWin32Windows::Destroy(os::Window window) {
    if (IsWindow(window)) {
        DestroyWindow(ToHwnd(window));
    }
}

bool CWin32Windows::IsWindow(os::Window window) {
    return window != 0 && ::IsWindow(ToHwnd(window)) != FALSE;
}

void CWin32Windows::Show(os::Window window, int showCommand) {
    ShowWindow(ToHwnd(window), showCommand);
    UpdateWindow(ToHwnd(window));
}

void CWin32Windows::SetText(os::Window window, const char* text) {
    SetWindowTextW(ToHwnd(window), WideFromCp949(text).c_str());
}

bool CWin32Windows::Post(os::Window window, std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) {
    return PostMessageW(ToHwnd(window), message, wParam, lParam) != FALSE;
}

void CWin32Windows::PostQuit() {
    PostQuitMessage(0);
}

std::intptr_t CWin32Windows::SendCopyData(os::Window target, os::Window from, std::uintptr_t tag,
                                          const void* data, std::uint32_t size) {
    if (!IsWindow(target)) {
        return 0;
    }
    COPYDATASTRUCT copy{};
    copy.dwData = tag;
    copy.cbData = size;
    copy.lpData = const_cast<void*>(data);
    // Never a plain SendMessage: the client is another program, and one that has stopped taking
    // messages would hold the driver, and every other client, for good. SMTO_ABORTIFHUNG gives up
    // at once on a window the system already knows to be hung.
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(ToHwnd(target), WM_COPYDATA, from, reinterpret_cast<LPARAM>(&copy),
                             SMTO_ABORTIFHUNG, kClientReplyMs, &result)) {
        return 0;
    }
    return static_cast<std::intptr_t>(result);
}

void CWin32Windows::SetTimer(os::Window window, std::uintptr_t id, std::uint32_t periodMs) {
    ::SetTimer(ToHwnd(window), id, periodMs, nullptr);
}

void CWin32Windows::KillTimer(os::Window window, std::uintptr_t id) {
    ::KillTimer(ToHwnd(window), id);
}

}  // namespace win32
