// desktop-tool COMMAND ...: looks at and drives the driver's windows from another process, as an
// operator or a teller application would. Waits are bounded by MS milliseconds (default 10000).
// Texts are printed in UTF-8, with line breaks shown as \n.
//
//   main [MS]               waits for the driver's main window (class and name "QRVA Bank Driver"):
//                           "window=<hex> pid=<pid> visible=<0|1> classstyle=0x<hex> gates=<n>"
//   wait DIALOG [MS]        waits for a dialog, then prints "topmost=<0|1>" and one line per control:
//                           "<id> <class> visible=<0|1> enabled=<0|1> checked=<n> limit=<n> text=<text>"
//                           (checked -1 for a non-button, limit -1 for a non-edit)
//   absent DIALOG MS        succeeds when the dialog does not appear within MS
//   gone DIALOG [MS]        waits until the dialog has gone
//   press DIALOG ID         clicks button ID of the dialog
//   escape DIALOG           presses Escape in the dialog
//                           (both wait, for a dialog of the tray, until its answer has reached the
//                           driver: its hidden owner window goes then)
//   set DIALOG ID TEXT      sets the text of control ID
//   post MSG [WPARAM [LPARAM]]  posts a message to the main window
//   key VK                  posts a key press (WM_KEYDOWN) to the open tray menu, as a key pressed
//                           while it is open (to the main window when no menu is open)
//   cursor X Y              moves the mouse pointer to X, Y
//   register                registers a client with the main window: "gate=<hex>"
//   quit [MS]               sends WM_CLOSEQUIET (2023) and waits for the driver to end: "exit=<code>"
//   endsession [MS]         ends the session for the driver as a log-off does: sends it
//                           WM_QUERYENDSESSION, then WM_ENDSESSION (TRUE), and waits for it to end:
//                           "query=<answer> window=<gone|kept once answered> exit=<code>"
//   ended PID [MS]          waits for process PID to end: "exit=<code>"
//   watch PID [MS]          as ended, but first prints "watching" once it holds the process: from then
//                           on its exit code outlives it (a process nobody holds takes it along)
//   kill [PID...]           ends the given processes and every process that owns a main window
//   menu EXE                prints the tray menu of EXE: "<id> <text>" or "separator" per item
//   codepage                prints the ANSI code page programs run with here: "acp=<n>"
//   memory PID              the private memory process PID has committed (its committed private regions)
//                           and its working set: "committed=<bytes> workingset=<bytes>"
//   tray                    the tips of the notification-area icons and the balloons shown, as the
//                           shell keeps them in its tooltip windows: "tip=<text>" per icon, then
//                           "balloon=<text>" per balloon on the screen
// DIALOG is one of: settings, question, about, box (the driver's message boxes), error (the printer
// library's and the power message boxes), menu (an open popup menu: the tray menu).
// Exit code: 0 done, 1 not found or not in time, 2 usage.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kMainName[] = L"QRVA Bank Driver";
constexpr UINT kWmCloseQuiet = 2023;
constexpr UINT kTrayMenuId = 132;
constexpr DWORD kDefaultMs = 10000;
constexpr DWORD kPollMs = 50;

struct DialogName {
    const wchar_t* key;
    const wchar_t* caption;
};
constexpr DialogName kDialogs[] = {
    {L"settings", L"등록정보"}, {L"question", L"통장 인쇄기 메시지"}, {L"about", L"Lodevar 정보"},
    {L"box", L"Lodevar"},       {L"error", L"통장인쇄기 오류!!"},     {L"menu", L""},
};

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                        nullptr);
    std::string shown;
    for (char c : utf8) {
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\r') {
            shown += "\\r";
        } else {
            shown += c;
        }
    }
    return shown;
}

void Print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The text of a window of another process: WM_GETTEXT is carried across, GetWindowText is not
// for controls such as edits.
std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
        return {};
    }
    std::vector<wchar_t> text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(text.data(), copied);
}

template <typename Find>
HWND WaitFor(DWORD ms, Find find) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = find();
        if (window != nullptr || GetTickCount() - start >= ms) {
            return window;
        }
        Sleep(kPollMs);
    }
}

HWND FindMain() {
    return FindWindowW(kMainName, kMainName);
}

const wchar_t* CaptionOf(const wchar_t* key) {
    for (const DialogName& dialog : kDialogs) {
        if (std::wcscmp(dialog.key, key) == 0) {
            return dialog.caption;
        }
    }
    return nullptr;
}

// A dialog counts once it is visible: a dialog is shown only after its controls exist and its
// initialisation has run. A popup menu has no caption: the class is enough.
HWND FindDialog(const wchar_t* caption) {
    HWND dialog = caption[0] != L'\0' ? FindWindowW(L"#32770", caption) : FindWindowW(L"#32768", nullptr);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

DWORD MsArg(int argc, wchar_t** argv, int index) {
    return index < argc ? static_cast<DWORD>(std::wcstoul(argv[index], nullptr, 10)) : kDefaultMs;
}

int CountGates(HWND main) {
    int count = 0;
    for (HWND child = GetWindow(main, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        ++count;
    }
    return count;
}

int Main(HWND main) {
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    char line[256];
    std::snprintf(line, sizeof(line), "window=%llx pid=%lu visible=%d classstyle=0x%04lx gates=%d",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(main)), pid,
                  IsWindowVisible(main) ? 1 : 0,
                  static_cast<unsigned long>(GetClassLongPtrW(main, GCL_STYLE)), CountGates(main));
    Print(line);
    return 0;
}

void Describe(HWND dialog) {
    LONG_PTR exStyle = GetWindowLongPtrW(dialog, GWL_EXSTYLE);
    Print((exStyle & WS_EX_TOPMOST) != 0 ? "topmost=1" : "topmost=0");
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        std::wstring kind = ClassOf(child);
        long checked = -1;
        long limit = -1;
        DWORD_PTR answer = 0;
        if (_wcsicmp(kind.c_str(), L"Button") == 0 &&
            SendMessageTimeoutW(child, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
            checked = static_cast<long>(answer);
        }
        if (_wcsicmp(kind.c_str(), L"Edit") == 0 &&
            SendMessageTimeoutW(child, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer)) {
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

int Ended(HANDLE process, DWORD ms) {
    if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0) {
        Print("still running");
        return 1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    Print("exit=" + std::to_string(code));
    return 0;
}

int Register() {
    HWND main = WaitFor(kDefaultMs, FindMain);
    HWND client =
        CreateWindowExW(0, L"STATIC", L"client", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    if (main == nullptr || client == nullptr) {
        return 1;
    }
    // The size field of a registration carries the window that is to receive end-of-print notices.
    COPYDATASTRUCT copy{};
    copy.dwData = 1;
    copy.cbData = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(client));
    copy.lpData = nullptr;
    DWORD_PTR gate = 0;
    if (!SendMessageTimeoutW(main, WM_COPYDATA, reinterpret_cast<WPARAM>(client),
                             reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, kDefaultMs, &gate)) {
        return 1;
    }
    char line[64];
    std::snprintf(line, sizeof(line), "gate=%llx", static_cast<unsigned long long>(gate));
    Print(line);
    return gate != 0 ? 0 : 1;
}

void Terminate(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process != nullptr) {
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

int Kill(int argc, wchar_t** argv) {
    for (int i = 2; i < argc; ++i) {
        Terminate(static_cast<DWORD>(std::wcstoul(argv[i], nullptr, 10)));
    }
    for (int round = 0; round < 10; ++round) {
        HWND main = FindMain();
        if (main == nullptr) {
            return 0;
        }
        DWORD pid = 0;
        GetWindowThreadProcessId(main, &pid);
        Terminate(pid);
    }
    return FindMain() == nullptr ? 0 : 1;
}

int Menu(const wchar_t* exe) {
    HMODULE module = LoadLibraryExW(exe, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HMENU menu = module != nullptr ? LoadMenuW(module, MAKEINTRESOURCEW(kTrayMenuId)) : nullptr;
    if (menu == nullptr) {
        return 1;
    }
    wchar_t title[128] = {};
    GetMenuStringW(menu, 0, title, 128, MF_BYPOSITION);
    Print("popup " + Utf8(title));
    HMENU popup = GetSubMenu(menu, 0);
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 128;
        GetMenuItemInfoW(popup, static_cast<UINT>(i), TRUE, &item);
        Print((item.fType & MFT_SEPARATOR) != 0 ? std::string("separator")
                                                : std::to_string(item.wID) + " " + Utf8(text));
    }
    DestroyMenu(menu);
    FreeLibrary(module);
    return 0;
}

// The driver's main window and its process, opened to be waited for; null when there is none.
HANDLE OpenMainProcess(HWND& main) {
    main = FindMain();
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    return main != nullptr ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid) : nullptr;
}

int EndSession(DWORD ms) {
    HWND main = nullptr;
    HANDLE process = OpenMainProcess(main);
    if (process == nullptr) {
        return 1;
    }
    DWORD_PTR answer = 0;
    std::string line = "query=";
    if (SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                            &answer)) {
        line += std::to_string(answer);
    } else {
        line += "none";
    }
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &ignored);
    // Windows may end the process as soon as it has answered: its window must be gone by then.
    line += IsWindow(main) ? " window=kept" : " window=gone";
    DWORD code = 0;
    if (WaitForSingleObject(process, ms) == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code)) {
        line += " exit=" + std::to_string(code);
    } else {
        line += " still running";
    }
    CloseHandle(process);
    Print(line);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: desktop-tool COMMAND ... (see the source)\n");
    return 2;
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

// The texts of a tooltip window's tools. The window belongs to the shell's process: the tool record
// and its text buffer are made in that process's memory, where the tooltip writes them.
std::vector<std::wstring> ToolTexts(HWND tooltip) {
    std::vector<std::wstring> texts;
    DWORD pid = 0;
    GetWindowThreadProcessId(tooltip, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) {
        return texts;
    }
    constexpr SIZE_T kTextChars = 1024;
    auto* remote = static_cast<char*>(VirtualAllocEx(process, nullptr,
                                                     sizeof(TTTOOLINFOW) + kTextChars * sizeof(wchar_t),
                                                     MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    DWORD_PTR count = 0;
    if (remote != nullptr &&
        SendMessageTimeoutW(tooltip, TTM_GETTOOLCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count) != 0) {
        auto* remoteText = reinterpret_cast<wchar_t*>(remote + sizeof(TTTOOLINFOW));
        for (DWORD_PTR i = 0; i < count; ++i) {
            TTTOOLINFOW tool{};
            tool.cbSize = sizeof(tool);
            tool.lpszText = remoteText;
            std::vector<wchar_t> text(kTextChars, L'\0');
            SIZE_T done = 0;
            DWORD_PTR answer = 0;
            if (!WriteProcessMemory(process, remoteText, text.data(), kTextChars * sizeof(wchar_t), &done) ||
                !WriteProcessMemory(process, remote, &tool, sizeof(tool), &done) ||
                SendMessageTimeoutW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(remote),
                                    SMTO_ABORTIFHUNG, 5000, &answer) == 0 ||
                !ReadProcessMemory(process, remoteText, text.data(), (kTextChars - 1) * sizeof(wchar_t),
                                   &done)) {
                continue;
            }
            texts.emplace_back(text.data());
        }
    }
    if (remote != nullptr) {
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return texts;
}

BOOL CALLBACK ListTooltip(HWND window, LPARAM balloons) {
    if (_wcsicmp(ClassOf(window).c_str(), TOOLTIPS_CLASSW) != 0) {
        return TRUE;
    }
    auto* shown = reinterpret_cast<std::vector<std::string>*>(balloons);
    // A balloon on the screen carries its text as the window's text.
    if (IsWindowVisible(window) && (GetWindowLongPtrW(window, GWL_STYLE) & TTS_BALLOON) != 0) {
        shown->push_back("balloon=" + Utf8(TextOf(window)));
    }
    for (const std::wstring& text : ToolTexts(window)) {
        if (!text.empty()) {
            Print("tip=" + Utf8(text));
        }
    }
    return TRUE;
}

int Tray() {
    std::vector<std::string> balloons;
    EnumWindows(ListTooltip, reinterpret_cast<LPARAM>(&balloons));
    for (const std::string& line : balloons) {
        Print(line);
    }
    return 0;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 2) {
        return Usage();
    }
    std::wstring command = argv[1];
    if (command == L"main") {
        HWND main = WaitFor(MsArg(argc, argv, 2), FindMain);
        return main != nullptr ? Main(main) : 1;
    }
    if (command == L"register") {
        return Register();
    }
    if (command == L"kill") {
        return Kill(argc, argv);
    }
    if (command == L"tray") {
        return Tray();
    }
    if (command == L"codepage") {
        Print("acp=" + std::to_string(GetACP()));
        return 0;
    }
    if (command == L"menu" && argc == 3) {
        return Menu(argv[2]);
    }
    if (command == L"post" && argc >= 3) {
        HWND main = FindMain();
        WPARAM wParam = argc > 3 ? std::wcstoul(argv[3], nullptr, 10) : 0;
        LPARAM lParam = argc > 4 ? static_cast<LPARAM>(std::wcstol(argv[4], nullptr, 10)) : 0;
        return main != nullptr && PostMessageW(main, static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)),
                                               wParam, lParam)
                   ? 0
                   : 1;
    }
    if (command == L"key" && argc == 3) {
        // The key goes to the thread whose loop tracks the menu.
        HWND target = FindDialog(L"");
        target = target != nullptr ? target : FindMain();
        return target != nullptr &&
                       PostMessageW(target, WM_KEYDOWN, std::wcstoul(argv[2], nullptr, 10), 0x00010001)
                   ? 0
                   : 1;
    }
    if (command == L"cursor" && argc == 4) {
        return SetCursorPos(static_cast<int>(std::wcstol(argv[2], nullptr, 10)),
                            static_cast<int>(std::wcstol(argv[3], nullptr, 10)))
                   ? 0
                   : 1;
    }
    if (command == L"quit") {
        HWND main = nullptr;
        HANDLE process = OpenMainProcess(main);
        if (process == nullptr) {
            return 1;
        }
        PostMessageW(main, kWmCloseQuiet, 0, 0);
        int result = Ended(process, MsArg(argc, argv, 2));
        CloseHandle(process);
        return result;
    }
    if (command == L"endsession") {
        return EndSession(MsArg(argc, argv, 2));
    }
    if (command == L"memory" && argc == 3) {
        return Memory(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    }
    if ((command == L"ended" || command == L"watch") && argc >= 3) {
        HANDLE process =
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, std::wcstoul(argv[2], nullptr, 10));
        if (process == nullptr) {
            Print("exit=unknown");  // gone before it could be opened
            return 0;
        }
        if (command == L"watch") {
            Print("watching");
        }
        int result = Ended(process, MsArg(argc, argv, 3));
        CloseHandle(process);
        return result;
    }

    if (argc < 3 || CaptionOf(argv[2]) == nullptr) {
        return Usage();
    }
    const wchar_t* caption = CaptionOf(argv[2]);
    auto find = [caption] { return FindDialog(caption); };
    if (command == L"wait") {
        HWND dialog = WaitFor(MsArg(argc, argv, 3), find);
        if (dialog == nullptr) {
            return 1;
        }
        Describe(dialog);
        return 0;
    }
    if (command == L"absent" && argc == 4) {
        return WaitFor(MsArg(argc, argv, 3), find) == nullptr ? 0 : 1;
    }
    if (command == L"gone") {
        auto gone = [&find] { return find() == nullptr ? HWND_MESSAGE : nullptr; };
        return WaitFor(MsArg(argc, argv, 3), gone) != nullptr ? 0 : 1;
    }
    HWND dialog = find();
    if (dialog == nullptr) {
        return 1;
    }
    bool posted = false;
    if (command == L"press" && argc == 4) {
        int id = static_cast<int>(std::wcstol(argv[3], nullptr, 10));
        posted = PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                              reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))) != FALSE;
    } else if (command == L"escape") {
        // To the control that has the focus, through the dialog's own loop, as a key press goes.
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
        HWND focus = GetGUIThreadInfo(thread, &info) && info.hwndFocus != nullptr ? info.hwndFocus : dialog;
        posted = PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != FALSE;
    }
    if (command == L"press" || command == L"escape") {
        return posted && AnswerTaken(dialog) ? 0 : 1;
    }
    if (command == L"set" && argc == 5) {
        HWND control = GetDlgItem(dialog, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
        DWORD_PTR done = 0;
        return control != nullptr &&
                       SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]),
                                           SMTO_ABORTIFHUNG, 5000, &done)
                   ? 0
                   : 1;
    }
    return Usage();
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return 2;
    }
    int result = Run(argc, argv);
    LocalFree(argv);
    return result;
}
