// desktop-tool COMMAND ...: looks at and drives the driver's windows from another process, as an
// operator or a teller application would. Waits are bounded by MS milliseconds (default 10000).
// Texts are printed in UTF-8, with line breaks shown as \n. Exit code: 0 done, 1 not found or not in
// time, 2 usage.
//
//   launch MS PROGRAM [ARG...]  starts PROGRAM as a teller application's launcher does (the start-up
//                           event made first) and waits up to MS for the event: "signalled <ms> pid
//                           <pid>", else "exit=<code> pid <pid>" (ended first) or "still running pid
//                           <pid>"; the program runs on after this tool, as the resident driver does
//   main [MS]               waits for the driver's main window (class and name "QRVA Bank Driver"):
//                           "window=<hex> pid=<pid> visible=<0|1> classstyle=0x<hex> gates=<n>"
//   wait DIALOG [MS]        waits for a dialog, then prints "topmost=<0|1>" and one line per control:
//                           "<id> <class> visible=<0|1> enabled=<0|1> checked=<n> limit=<n> text=<text>"
//                           (checked -1 for a non-button, limit -1 for a non-edit)
//   gone DIALOG [MS]        waits until the dialog has gone
//   press DIALOG ID         clicks button ID of the dialog; escape DIALOG presses Escape in it (both
//                           wait, for a dialog of the tray, until its answer has reached the driver:
//                           its hidden owner window goes then)
//   set DIALOG ID TEXT      sets the text of control ID
//   post MSG [WPARAM [LPARAM]]  posts a message to the main window
//   key VK                  posts a key press (WM_KEYDOWN) to the open tray menu
//   cursor X Y              moves the mouse pointer to X, Y
//   register [SIZE [WINDOW]]  registers a client with the main window (or the top-level window WINDOW)
//                           in a block of SIZE bytes of data (0, the default: none; the size field is
//                           the client's window): "sent=<size> ok=<0|1> error=<n> answer=<gate> ms=<n>"
//   copydata-server         a window CopyDataProbe that answers WM_COPYDATA with the size: with register
//                           SIZE CopyDataProbe, how Wine carries large blocks (docs/failure-modes.md)
//   quit [MS]               sends WM_CLOSEQUIET (2023) and waits for the driver to end: "exit=<code>"
//   endsession [MS]         sends WM_QUERYENDSESSION, then WM_ENDSESSION (TRUE), as a log-off does, and
//                           waits: "query=<answer> window=<gone|kept once answered> exit=<code>"
//   ended PID [MS]          waits for process PID to end: "exit=<code>"; watch PID [MS] first prints
//                           "watching" once it holds the process, whose exit code then outlives it
//   kill [PID...]           ends the given processes and every process that owns a main window
//   menu EXE                prints the tray menu of EXE: "<id> <text>" or "separator" per item
//   codepage                prints the ANSI code page programs run with here: "acp=<n>"
//   memory PID              the private memory process PID has committed (its committed private regions)
//                           and its working set: "committed=<bytes> workingset=<bytes>"
//   tray                    the tips of the notification-area icons, "tip=<text>", and the balloons on
//                           the screen, "balloon=<text>", as the shell keeps them in its tooltip windows
// DIALOG is one of: settings, question, about, box (the driver's message boxes), error (the printer
// library's and the power message boxes), menu (an open popup menu: the tray menu).
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainName[] = L"QRVA Bank Driver";
constexpr wchar_t kStartupEvent[] = L"WAIT FOR THE LODEVAR TO INITIALIZED....";
constexpr UINT kWmCloseQuiet = 2023;
constexpr UINT kTrayMenuId = 132;
constexpr DWORD kDefaultMs = 10000;
constexpr DWORD kPollMs = 50;
constexpr DWORD kWaitAccess = SYNCHRONIZE | PROCESS_QUERY_INFORMATION;

// Each dialog's name here and its caption.
constexpr const wchar_t* kDialogs[][2] = {
    {L"settings", L"등록정보"}, {L"question", L"통장 인쇄기 메시지"}, {L"about", L"Lodevar 정보"},
    {L"box", L"Lodevar"},       {L"error", L"통장인쇄기 오류!!"},     {L"menu", L""},
};

int g_argc = 0;
wchar_t** g_argv = nullptr;

// Argument `index` as a number, or `otherwise` when it is not given.
long Arg(int index, long otherwise = kDefaultMs) {
    return index < g_argc ? std::wcstol(g_argv[index], nullptr, 10) : otherwise;
}

int Done(bool ok) {
    return ok ? 0 : 1;
}

std::string Utf8(const std::wstring& text) {
    std::wstring shown;
    for (wchar_t c : text) {
        shown += c == L'\n' ? L"\\n" : c == L'\r' ? L"\\r" : std::wstring(1, c);
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, shown.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    return utf8.c_str();
}

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// A message to a window of another process, given up should that process hang.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& answer) {
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
}

// The text of a window of another process: WM_GETTEXT is carried across, GetWindowText is not
// for controls such as edits.
std::wstring TextOf(HWND window) {
    wchar_t text[4096] = {};
    DWORD_PTR length = 0;
    return Send(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), length) ? std::wstring(text, length)
                                                                                  : std::wstring();
}

template <typename Find>
HWND WaitFor(DWORD ms, Find find) {
    for (DWORD start = GetTickCount();; Sleep(kPollMs)) {
        HWND window = find();
        if (window != nullptr || GetTickCount() - start >= ms) {
            return window;
        }
    }
}

HWND FindMain() {
    return FindWindowW(kMainName, kMainName);
}

// The process that owns `window`, opened with `access`; null when there is none.
HANDLE ProcessOf(HWND window, DWORD access = kWaitAccess) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid != 0 ? OpenProcess(access, FALSE, pid) : nullptr;
}

// A dialog counts once it is visible: a dialog is shown only after its controls exist and its
// initialisation has run. A popup menu has no caption: the class is enough.
HWND FindDialog(const wchar_t* caption) {
    HWND dialog = caption[0] != L'\0' ? FindWindowW(L"#32770", caption) : FindWindowW(L"#32768", nullptr);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

int Main(HWND main) {
    int gates = 0;
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ++gates;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    char line[256];
    std::snprintf(line, sizeof(line), "window=%llx pid=%lu visible=%d classstyle=0x%04lx gates=%d",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(main)), pid,
                  IsWindowVisible(main) ? 1 : 0,
                  static_cast<unsigned long>(GetClassLongPtrW(main, GCL_STYLE)), gates);
    Print(line);
    return 0;
}

void Describe(HWND dialog) {
    Print((GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0 ? "topmost=1" : "topmost=0");
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring kind = ClassOf(child);
        long checked = -1;
        long limit = -1;
        DWORD_PTR answer = 0;
        if (_wcsicmp(kind.c_str(), L"Button") == 0 && Send(child, BM_GETCHECK, 0, 0, answer)) {
            checked = static_cast<long>(answer);
        } else if (_wcsicmp(kind.c_str(), L"Edit") == 0 && Send(child, EM_GETLIMITTEXT, 0, 0, answer)) {
            limit = static_cast<long>(answer);
        }
        char head[160];
        std::snprintf(head, sizeof(head),
                      "%d %s visible=%d enabled=%d checked=%ld limit=%ld text=", GetDlgCtrlID(child),
                      Utf8(kind).c_str(), IsWindowVisible(child) ? 1 : 0, IsWindowEnabled(child) ? 1 : 0,
                      checked, limit);
        Print(head + Utf8(TextOf(child)));
    }
}

// The dialogs of the tray (the settings, the About box, the close question) run on threads of
// their own, owned by a hidden window of the driver's that goes only once the answer has reached the
// main window. Waits for that (bounded), so that the next step finds the answer taken; true unless
// the owner stays.
bool AnswerTaken(HWND dialog) {
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (owner == nullptr || ClassOf(owner) != L"Lodevar:Operator") {
        return true;
    }
    return WaitFor(kDefaultMs, [owner] { return IsWindow(owner) ? nullptr : owner; }) != nullptr;
}

// Waits up to `ms` for `process` to end and lets it go: "exit=<code>", or "still running".
std::string ExitOf(HANDLE process, DWORD ms) {
    DWORD code = 0;
    bool ended = WaitForSingleObject(process, ms) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return ended ? "exit=" + std::to_string(code) : "still running";
}

int PrintExit(HANDLE process, DWORD ms) {
    std::string exit = ExitOf(process, ms);
    Print(exit);
    return Done(exit != "still running");
}

// Milliseconds of the performance counter: the tick counter moves in steps of about 16 ms.
long long NowMs() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart * 1000 / frequency.QuadPart;
}

int Launch() {
    std::wstring commandLine;
    for (int i = 3; i < g_argc; ++i) {
        std::wstring argument = g_argv[i];
        bool plain = !argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos;
        commandLine += (i > 3 ? L" " : L"") + (plain ? argument : L"\"" + argument + L"\"");
    }
    // Manual reset: the signal stays visible however late this process looks at it.
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, kStartupEvent);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const long long begun = NowMs();
    if (started == nullptr || !CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &startup, &process)) {
        return 1;
    }
    HANDLE waits[] = {started, process.hProcess};
    const bool signalled = WaitForMultipleObjects(2, waits, FALSE, Arg(2)) == WAIT_OBJECT_0;
    const std::string ms = std::to_string(NowMs() - begun);
    Print((signalled ? "signalled " + ms : ExitOf(process.hProcess, 0)) + " pid " +
          std::to_string(process.dwProcessId));
    return Done(signalled);
}

int Register() {
    const wchar_t* name = g_argc > 3 ? g_argv[3] : kMainName;
    HWND target = WaitFor(kDefaultMs, [name] { return FindWindowW(g_argc > 3 ? nullptr : kMainName, name); });
    HWND client =
        CreateWindowExW(0, L"STATIC", L"client", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const DWORD size = Arg(2, 0);
    std::vector<char> data(size);
    // Without data, the size field carries the window that is to receive end-of-print notices.
    COPYDATASTRUCT copy{1, size != 0 ? size : static_cast<DWORD>(reinterpret_cast<UINT_PTR>(client)),
                        size != 0 ? data.data() : nullptr};
    DWORD_PTR answer = 0;
    const DWORD begun = GetTickCount();
    const bool sent = target != nullptr && client != nullptr &&
                      SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(client),
                                          reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 30000, &answer) != 0;
    char line[160];
    std::snprintf(line, sizeof(line), "sent=%lu ok=%d error=%lu answer=%llu ms=%lu", copy.cbData,
                  sent ? 1 : 0, sent ? 0 : GetLastError(), static_cast<unsigned long long>(answer),
                  GetTickCount() - begun);
    Print(line);
    return Done(sent);
}

LRESULT CALLBACK AnswerSize(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_COPYDATA ? reinterpret_cast<const COPYDATASTRUCT*>(lParam)->cbData
                                  : DefWindowProcW(window, message, wParam, lParam);
}

int CopyDataServer() {
    HWND window =
        CreateWindowExW(0, L"STATIC", L"CopyDataProbe", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnswerSize));
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}

void Terminate(HANDLE process) {
    if (process != nullptr) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

int Kill() {
    constexpr DWORD kAccess = PROCESS_TERMINATE | SYNCHRONIZE;
    for (int i = 2; i < g_argc; ++i) {
        Terminate(OpenProcess(kAccess, FALSE, Arg(i)));
    }
    for (int round = 0; round < 10 && FindMain() != nullptr; ++round) {
        Terminate(ProcessOf(FindMain(), kAccess));
    }
    return Done(FindMain() == nullptr);
}

int Menu(const wchar_t* exe) {
    HMODULE module = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = module != nullptr ? LoadMenuW(module, MAKEINTRESOURCEW(kTrayMenuId)) : nullptr;
    if (menu == nullptr) {
        return 1;
    }
    wchar_t text[128] = {};
    GetMenuStringW(menu, 0, text, 128, MF_BYPOSITION);
    Print("popup " + Utf8(text));
    HMENU popup = GetSubMenu(menu, 0);
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        GetMenuStringW(popup, i, text, 128, MF_BYPOSITION);
        const bool separator = (GetMenuState(popup, i, MF_BYPOSITION) & MF_SEPARATOR) != 0;
        Print(separator ? std::string("separator")
                        : std::to_string(GetMenuItemID(popup, i)) + " " + Utf8(text));
    }
    DestroyMenu(menu);
    FreeLibrary(module);
    return 0;
}

int EndSession(DWORD ms) {
    HWND main = FindMain();
    HANDLE process = ProcessOf(main);
    if (process == nullptr) {
        return 1;
    }
    DWORD_PTR answer = 0;
    std::string line = Send(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, answer)
                           ? "query=" + std::to_string(answer)
                           : "query=none";
    Send(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, answer);
    // Windows may end the process as soon as it has answered: its window must be gone by then.
    line += IsWindow(main) ? " window=kept " : " window=gone ";
    Print(line + ExitOf(process, ms));
    return 0;
}

// The private memory the process has committed (the sum of its committed private regions, walked with
// VirtualQueryEx: what Windows counts as its private bytes), and its working set.
int Memory(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process == nullptr) {
        return 1;
    }
    unsigned long long committed = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQueryEx(process, at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
            committed += region.RegionSize;
        }
        if (region.RegionSize == 0) {
            break;
        }
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    bool read = GetProcessMemoryInfo(process, &counters, sizeof(counters)) != FALSE;
    CloseHandle(process);
    Print("committed=" + std::to_string(committed) +
          " workingset=" + std::to_string(read ? counters.WorkingSetSize : 0));
    return 0;
}

// The texts of a tooltip window. A balloon on the screen carries its text as the window's text. The
// tips of its tools are read through a tool record and a text buffer made in the memory of the
// window's process (the shell's), where the tooltip writes them.
struct ToolRecord {
    TTTOOLINFOW tool;
    wchar_t text[1024];
};

BOOL CALLBACK ListTooltip(HWND window, LPARAM) {
    if (_wcsicmp(ClassOf(window).c_str(), TOOLTIPS_CLASSW) != 0) {
        return TRUE;
    }
    if (IsWindowVisible(window) && (GetWindowLongPtrW(window, GWL_STYLE) & TTS_BALLOON) != 0) {
        Print("balloon=" + Utf8(TextOf(window)));
    }
    HANDLE process = ProcessOf(window, PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE);
    void* remote = process != nullptr ? VirtualAllocEx(process, nullptr, sizeof(ToolRecord),
                                                       MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                                      : nullptr;
    DWORD_PTR count = 0;
    const bool counted = remote != nullptr && Send(window, TTM_GETTOOLCOUNT, 0, 0, count);
    ToolRecord blank{};  // written before each tool, its text pointing at the remote record's buffer
    blank.tool.cbSize = sizeof(blank.tool);
    blank.tool.lpszText =
        reinterpret_cast<wchar_t*>(reinterpret_cast<UINT_PTR>(remote) + offsetof(ToolRecord, text));
    wchar_t text[1024] = {};
    for (DWORD_PTR i = 0, answer = 0; counted && i < count; ++i) {
        if (WriteProcessMemory(process, remote, &blank, sizeof(blank), nullptr) &&
            Send(window, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote), answer) &&
            ReadProcessMemory(process, blank.tool.lpszText, text, sizeof(text) - sizeof(wchar_t), nullptr) &&
            text[0] != L'\0') {
            Print("tip=" + Utf8(text));
        }
    }
    if (remote != nullptr) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    if (process != nullptr) {
        CloseHandle(process);
    }
    return TRUE;
}

// The commands that work on a dialog: wait, gone, press, escape, set.
int DialogCommand(const std::wstring& command, const wchar_t* caption) {
    auto find = [caption] { return FindDialog(caption); };
    if (command == L"wait") {
        HWND dialog = WaitFor(Arg(3), find);
        if (dialog != nullptr) {
            Describe(dialog);
        }
        return Done(dialog != nullptr);
    }
    if (command == L"gone") {
        return Done(WaitFor(Arg(3), [&find] { return find() == nullptr ? HWND_MESSAGE : nullptr; }) !=
                    nullptr);
    }
    HWND dialog = find();
    if (dialog == nullptr) {
        return 1;
    }
    if (command == L"press" && g_argc == 4) {
        int id = Arg(3);
        return Done(PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))) &&
                    AnswerTaken(dialog));
    }
    if (command == L"escape") {
        // To the control that has the focus, through the dialog's own loop, as a key press goes.
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        HWND focus = GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : dialog;
        return Done(PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001) && AnswerTaken(dialog));
    }
    if (command == L"set" && g_argc == 5) {
        HWND control = GetDlgItem(dialog, Arg(3));
        DWORD_PTR done = 0;
        return Done(control != nullptr &&
                    Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(g_argv[4]), done));
    }
    return 2;
}

int Run() {
    std::wstring command = g_argc > 1 ? g_argv[1] : L"";
    if (command == L"launch" && g_argc > 3) {
        return Launch();
    }
    if (command == L"main") {
        HWND main = WaitFor(Arg(2), FindMain);
        return main != nullptr ? Main(main) : 1;
    }
    if (command == L"register") {
        return Register();
    }
    if (command == L"copydata-server") {
        return CopyDataServer();
    }
    if (command == L"kill") {
        return Kill();
    }
    if (command == L"tray") {
        EnumWindows(ListTooltip, 0);
        return 0;
    }
    if (command == L"codepage") {
        Print("acp=" + std::to_string(GetACP()));
        return 0;
    }
    if (command == L"menu" && g_argc == 3) {
        return Menu(g_argv[2]);
    }
    if (command == L"post" && g_argc >= 3) {
        HWND main = FindMain();
        return Done(main != nullptr && PostMessageW(main, Arg(2), Arg(3, 0), Arg(4, 0)));
    }
    if (command == L"key" && g_argc == 3) {
        // The key goes to the thread whose loop tracks the menu.
        HWND menu = FindDialog(L"");
        return Done(menu != nullptr && PostMessageW(menu, WM_KEYDOWN, Arg(2), 0x00010001));
    }
    if (command == L"cursor" && g_argc == 4) {
        return Done(SetCursorPos(Arg(2), Arg(3)));
    }
    if (command == L"quit") {
        HWND main = FindMain();
        HANDLE process = ProcessOf(main);
        return process != nullptr && PostMessageW(main, kWmCloseQuiet, 0, 0) ? PrintExit(process, Arg(2)) : 1;
    }
    if (command == L"endsession") {
        return EndSession(Arg(2));
    }
    if (command == L"memory" && g_argc == 3) {
        return Memory(Arg(2));
    }
    if ((command == L"ended" || command == L"watch") && g_argc >= 3) {
        HANDLE process = OpenProcess(kWaitAccess, FALSE, Arg(2));
        if (process == nullptr) {
            Print("exit=unknown");  // gone before it could be opened
            return 0;
        }
        if (command == L"watch") {
            Print("watching");
        }
        return PrintExit(process, Arg(3));
    }
    for (const auto& dialog : kDialogs) {
        if (g_argc > 2 && std::wcscmp(dialog[0], g_argv[2]) == 0) {
            return DialogCommand(command, dialog[1]);
        }
    }
    return 2;
}

}  // namespace

int main() {
    g_argv = CommandLineToArgvW(GetCommandLineW(), &g_argc);
    if (g_argv == nullptr) {
        return 2;
    }
    int result = Run();
    if (result == 2) {
        std::fprintf(stderr, "usage: desktop-tool COMMAND ... (see the source)\n");
    }
    LocalFree(g_argv);
    return result;
}
