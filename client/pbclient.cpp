// pbclient: a command-line client of the Lodevar driver, on the client kit (lodevar_client.h). For
// branch IT, for teller-application developers without their application at hand, and for our tests.
//
//   pbclient [--timeout SECONDS] [--queued [--nowait]] COMMAND [ARG...]
//   pbclient [--timeout SECONDS] session FILE|-
//   pbclient --help | --version
//
// One command registers with the driver when it needs a gate, runs, and releases the gate. A session
// runs one command per line (blank lines and lines starting with '#' are skipped) on one
// registration, so the gate keeps its font and paper memory from line to line; each line may start
// with --queued and --nowait. "session -" reads standard input to its end first, then runs it.
//
// Output: one line per request, four fields separated by tabs:
//   WHAT  CODE  NAME  DETAIL
// WHAT is the request text as sent (prefixed "queued " for a queued one), CODE its result, NAME the
// result's name and DETAIL its text. Other lines: "register" and "find" give the gate or the driver
// window as "gate N" / "driver N" (decimal); an advise reply is "advise-reply 1 DONE LLL DATA" (LLL
// the stripe's full length); an end-of-print notice is "print-end STATUS NAME driver N M" (N the
// driver's window, M the value the driver puts before the status, -1). "info" prints the driver's
// state as "key=value" lines and changes nothing in the driver (no registration, no printer work);
// "health" is the kit's health check, its state lines and then its result line. Texts are UTF-8 when
// the output is a file or a pipe, and go to a Windows console as Unicode (WriteConsoleW), so they
// read right whatever the console's code page.
//
// Exit code: 0 when every request succeeded (result 1, or 0 for a print of an empty text), 1 when
// one did not (a driver status, or a failure of the kit: time-out, a limit broken), 2 for a command
// line or session line that is not understood, 3 when no driver answered (none is running).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "client/lodevar_client.h"
#include "lodevar_version.h"

namespace {

const char kUsage[] =
    "usage: pbclient [--timeout SECONDS] [--queued [--nowait]] COMMAND [ARG...]\n"
    "       pbclient [--timeout SECONDS] session FILE|-\n"
    "       pbclient --help | --version\n"
    "commands:\n"
    "  info                     the driver's state (changes nothing in the driver)\n"
    "  health                   find, register, the driver's state, release\n"
    "  find                     the driver's main window\n"
    "  register                 register and show the gate\n"
    "  release                  release the gate\n"
    "  shutdown                 ask the driver to close\n"
    "  paper-in passbook|chit   take in a passbook or a chit (I)\n"
    "  print ROW COL FONT TEXT  print TEXT (UTF-8) at ROW, COL with FONT 1-4 (L)\n"
    "  msr-read                 read the stripe (R); the status only: use advise for the data\n"
    "  msr-write DATA           write the stripe (M)\n"
    "  advise [--wait SECONDS]  wait for a stripe (A), and show it when it comes\n"
    "  unadvise                 stop waiting for a stripe (U)\n"
    "  eject                    eject the medium (O)\n"
    "  reset                    reset the printer (S)\n"
    "  pitch CPI LPI            set the pitch (C)\n"
    "  raw TEXT                 send TEXT as it is\n"
    "  wait-event SECONDS       wait for the signal of queued requests\n"
    "  wait-notice SECONDS      wait for an end-of-print notice\n"
    "  wait-file FILE SECONDS   wait until FILE exists (to pace a session from a script)\n"
    "  sleep MILLISECONDS       pause, dispatching messages\n"
    "exit code: 0 done, 1 a request failed, 2 not understood, 3 no driver answered\n";

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoDriver = 3;

// ---- text --------------------------------------------------------------------------------------

std::string Utf8FromWide(const wchar_t* wide) {
    int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    text.resize(static_cast<std::size_t>(n - 1));
    return text;
}

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    }
    return wide;
}

// Code page 949 bytes for display; bytes that do not convert are shown as '?'.
std::string DisplayCp949(const char* bytes, std::size_t n) {
    std::string shown;
    char out[4096];
    if (lvc_cp949_to_utf8(bytes, static_cast<int>(n), out, sizeof(out)) >= 0) {
        return out;
    }
    for (std::size_t i = 0; i < n; ++i) {
        auto byte = static_cast<unsigned char>(bytes[i]);
        shown += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '?';
    }
    return shown;
}

void Emit(const std::string& line) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (output != nullptr && output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode)) {
        std::wstring wide = WideFromUtf8(line + "\r\n");
        WriteConsoleW(output, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void EmitResult(const std::string& what, int code, const std::string& detail) {
    Emit(what + "\t" + std::to_string(code) + "\t" + lvc_status_name(code) + "\t" + detail);
}

void EmitResult(const std::string& what, int code) {
    EmitResult(what, code, lvc_status_text(code));
}

// ---- words -------------------------------------------------------------------------------------

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// A line cut into words; Rest(n) is what follows the first n words and one blank.
class CLine {
public:
    explicit CLine(std::string text) : m_text(std::move(text)) {
        std::size_t at = 0;
        while (at < m_text.size()) {
            while (at < m_text.size() && IsBlank(m_text[at])) {
                ++at;
            }
            if (at == m_text.size()) {
                break;
            }
            std::size_t end = at;
            while (end < m_text.size() && !IsBlank(m_text[end])) {
                ++end;
            }
            m_words.push_back(m_text.substr(at, end - at));
            m_ends.push_back(end);
            at = end;
        }
    }
    std::size_t Count() const { return m_words.size(); }
    const std::string& Word(std::size_t i) const { return m_words[i]; }
    std::string Rest(std::size_t n) const {
        if (n == 0 || n > m_words.size()) {
            return n == 0 ? m_text : std::string();
        }
        std::size_t at = m_ends[n - 1];
        return at < m_text.size() ? m_text.substr(at + 1) : std::string();
    }

private:
    std::string m_text;
    std::vector<std::string> m_words;
    std::vector<std::size_t> m_ends;
};

// A whole decimal number within 0..max.
bool Number(const std::string& word, long max, long& value) {
    if (word.empty() || word.size() > 9) {
        return false;
    }
    value = 0;
    for (char c : word) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return value <= max;
}

// ---- the session -------------------------------------------------------------------------------

// Lets `ms` milliseconds pass while dispatching messages, so that the driver's replies are taken.
void Pause(DWORD ms) {
    const DWORD start = GetTickCount();
    for (DWORD elapsed = 0; elapsed < ms; elapsed = GetTickCount() - start) {
        MsgWaitForMultipleObjectsEx(0, nullptr, ms - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (lvc_pump(nullptr) != LVC_DONE) {
            return;
        }
    }
}

class CSession {
public:
    explicit CSession(DWORD timeoutMs) : m_nTimeoutMs(timeoutMs) {}
    ~CSession() { lvc_close(m_client); }
    CSession(const CSession&) = delete;
    CSession& operator=(const CSession&) = delete;

    bool Open() {
        int result = lvc_open(&m_client);
        if (result != LVC_DONE) {
            EmitResult("open", result,
                       std::string(lvc_status_text(result)) + " (" + std::to_string(GetLastError()) + ")");
            return false;
        }
        lvc_set_timeout(m_client, m_nTimeoutMs);
        return true;
    }
    // Runs one command line; false when it is not understood.
    bool Run(const CLine& line);
    void ShowArrivals();
    bool Failed() const { return m_bFailed; }
    bool NoDriver() const { return m_bNoDriver; }

private:
    int EnsureGate();
    void Request(const std::string& shown, bool queued, bool wait, char letter, int field1, int field2,
                 char option, const std::string& data);
    void Raw(const std::string& text, bool queued, bool wait);
    void Advise(long waitSeconds);
    void State(bool health);
    void EmitAdvise(const lvc_advise_reply& reply);
    void Note(char letter, int result) {
        if (!lvc_succeeded(letter, result)) {
            m_bFailed = true;
        }
        if (result == LVC_E_NO_DRIVER) {
            m_bNoDriver = true;
        }
    }

    lvc_client* m_client = nullptr;
    DWORD m_nTimeoutMs;
    bool m_bFailed = false;
    bool m_bNoDriver = false;
};

int CSession::EnsureGate() {
    return lvc_gate_window(m_client) != 0 ? LVC_DONE : lvc_register(m_client);
}

void CSession::Request(const std::string& shown, bool queued, bool wait, char letter, int field1, int field2,
                       char option, const std::string& data) {
    lvc_request request;
    const int mode = queued ? LVC_QUEUED : LVC_IMMEDIATE;
    int result = lvc_build_request(&request, mode, letter, field1, field2, option, data.data(),
                                   static_cast<int>(data.size()));
    std::string what = shown;
    if (result == LVC_DONE) {
        what = DisplayCp949(request.text, LVC_HEADER_BYTES + data.size());
        result = EnsureGate();
    }
    if (result == LVC_DONE) {
        result = lvc_submit(m_client, mode, wait ? m_nTimeoutMs : 0, letter, field1, field2, option,
                            data.data(), static_cast<int>(data.size()));
    }
    EmitResult(queued ? "queued " + what : what, result);
    Note(letter, result);
}

void CSession::Raw(const std::string& text, bool queued, bool wait) {
    char bytes[LVC_REQUEST_BYTES];
    int length = lvc_utf8_to_cp949(text.c_str(), bytes, sizeof(bytes));
    int result = LVC_E_ARGUMENT;
    const int limit = queued ? LVC_QUEUED_BLOCK : LVC_REQUEST_BYTES - 1;
    if (length >= LVC_HEADER_BYTES && length <= limit) {
        result = EnsureGate();
    }
    if (result == LVC_DONE && queued) {
        result = lvc_send_block(m_client, LVC_QUEUED, bytes, length);
        if (result == LVC_DONE && wait) {
            result = lvc_wait_queued(m_client, m_nTimeoutMs);
        }
    } else if (result == LVC_DONE) {
        result = lvc_send_block(m_client, LVC_IMMEDIATE, bytes, length + 1);  // with the terminating zero
    }
    EmitResult(queued ? "queued " + text : text, result);
    Note(length > 0 ? bytes[0] : '\0', result);
}

void CSession::Advise(long waitSeconds) {
    int result = EnsureGate();
    if (result == LVC_DONE) {
        result = lvc_advise(m_client);
    }
    EmitResult("A00000000", result);
    Note('A', result);
    if (result != LVC_DONE || waitSeconds < 0) {
        return;
    }
    lvc_advise_reply reply;
    result = lvc_wait_advise(m_client, static_cast<DWORD>(waitSeconds) * 1000u, &reply);
    if (result == LVC_DONE) {
        EmitAdvise(reply);
    } else {
        EmitResult("advise-reply", result);
    }
    Note('A', result);
}

void CSession::EmitAdvise(const lvc_advise_reply& reply) {
    char length[8];
    std::snprintf(length, sizeof(length), "%03d", reply.declared_length);
    EmitResult("advise-reply", LVC_DONE,
               std::string(length) + " " + DisplayCp949(reply.data, static_cast<std::size_t>(reply.length)));
}

// The driver's state ("info"), or the health check with it ("health").
void CSession::State(bool health) {
    std::string text(16384, '\0');
    int result = health ? lvc_check_health(m_client, text.data(), static_cast<int>(text.size()))
                        : lvc_driver_info(m_client, text.data(), static_cast<int>(text.size()));
    text.resize(std::strlen(text.c_str()));
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        Emit(text.substr(at, end - at));
        at = end + 1;
    }
    if (health || result != LVC_DONE) {
        EmitResult(health ? "health" : "info", result);
    }
    Note('\0', result);
}

// What came without being asked for: a notice (the driver failed to open the printer) or a stripe.
void CSession::ShowArrivals() {
    lvc_print_end notice;
    if (lvc_take_print_end(m_client, &notice)) {
        EmitResult("print-end", notice.status,
                   "driver " + std::to_string(notice.driver_window) + " " + std::to_string(notice.minus_one));
    }
    lvc_advise_reply reply;
    if (lvc_take_advise(m_client, &reply)) {
        EmitAdvise(reply);
    }
}

bool CSession::Run(const CLine& line) {
    std::size_t at = 0;
    bool queued = false;
    bool wait = true;
    for (; at < line.Count(); ++at) {
        if (line.Word(at) == "--queued") {
            queued = true;
        } else if (line.Word(at) == "--nowait") {
            wait = false;
        } else {
            break;
        }
    }
    if (at == line.Count()) {
        return false;
    }
    const std::string& command = line.Word(at);
    const std::size_t args = line.Count() - at - 1;
    auto word = [&](std::size_t i) -> const std::string& { return line.Word(at + 1 + i); };
    long a = 0;
    long b = 0;

    if (command == "info" && args == 0 && !queued) {
        State(false);
    } else if (command == "health" && args == 0 && !queued) {
        State(true);
    } else if (command == "find" && args == 0) {
        int result = lvc_find_driver(m_client);
        EmitResult("find", result,
                   result == LVC_DONE ? "driver " + std::to_string(lvc_driver_window(m_client))
                                      : lvc_status_text(result));
        Note('\0', result);
    } else if (command == "register" && args == 0) {
        int result = EnsureGate();
        EmitResult("register", result,
                   result == LVC_DONE ? "gate " + std::to_string(lvc_gate_window(m_client))
                                      : lvc_status_text(result));
        Note('\0', result);
    } else if (command == "release" && args == 0) {
        int result = lvc_release(m_client);
        EmitResult("release", result);
        Note('\0', result);
    } else if (command == "shutdown" && args == 0) {
        int result = lvc_shutdown(m_client);
        EmitResult("shutdown", result);
        Note('\0', result);
    } else if (command == "paper-in" && args == 1 && (word(0) == "passbook" || word(0) == "chit")) {
        Request(line.Rest(at), queued, wait, 'I', 0, 0, word(0) == "chit" ? '1' : '0', "");
    } else if (command == "print" && args >= 3 && Number(word(0), 999, a) && Number(word(1), 999, b) &&
               word(2).size() == 1) {
        std::string utf8 = line.Rest(at + 4);
        char text[LVC_REQUEST_BYTES];
        int length = lvc_utf8_to_cp949(utf8.c_str(), text, sizeof(text));
        if (length < 0) {
            EmitResult(line.Rest(at), length, "the text does not convert to code page 949 or is too long");
            Note('L', length);
        } else {
            Request(line.Rest(at), queued, wait, 'L', static_cast<int>(a), static_cast<int>(b), word(2)[0],
                    std::string(text, static_cast<std::size_t>(length)));
        }
    } else if (command == "msr-read" && args == 0) {
        Request(line.Rest(at), queued, wait, 'R', 0, 0, '0', "");
    } else if (command == "msr-write" && args >= 1) {
        Request(line.Rest(at), queued, wait, 'M', 0, 0, '0', line.Rest(at + 1));
    } else if (command == "advise" && args == 0 && !queued) {
        Advise(-1);
    } else if (command == "advise" && args == 2 && word(0) == "--wait" && Number(word(1), 86400, a) &&
               !queued) {
        Advise(a);
    } else if (command == "advise" && args == 0) {
        Request(line.Rest(at), queued, wait, 'A', 0, 0, '0', "");
    } else if (command == "unadvise" && args == 0) {
        Request(line.Rest(at), queued, wait, 'U', 0, 0, '0', "");
    } else if (command == "eject" && args == 0) {
        Request(line.Rest(at), queued, wait, 'O', 0, 0, '0', "");
    } else if (command == "reset" && args == 0) {
        Request(line.Rest(at), queued, wait, 'S', 0, 0, '0', "");
    } else if (command == "pitch" && args == 2 && Number(word(0), 999, a) && Number(word(1), 999, b)) {
        Request(line.Rest(at), queued, wait, 'C', static_cast<int>(a), static_cast<int>(b), '0', "");
    } else if (command == "raw" && args >= 1) {
        Raw(line.Rest(at + 1), queued, wait);
    } else if (command == "wait-event" && args == 1 && Number(word(0), 86400, a)) {
        int result = lvc_wait_queued(m_client, static_cast<DWORD>(a) * 1000u);
        EmitResult("wait-event", result);
        Note('\0', result);
    } else if (command == "wait-notice" && args == 1 && Number(word(0), 86400, a)) {
        lvc_print_end notice;
        int result = lvc_wait_print_end(m_client, static_cast<DWORD>(a) * 1000u, &notice);
        if (result == LVC_DONE) {
            EmitResult(
                "print-end", notice.status,
                "driver " + std::to_string(notice.driver_window) + " " + std::to_string(notice.minus_one));
        } else {
            EmitResult("print-end", result);
            Note('\0', result);
        }
    } else if (command == "sleep" && args == 1 && Number(word(0), 3600000, a)) {
        Pause(static_cast<DWORD>(a));
    } else if (command == "wait-file" && args == 2 && Number(word(1), 86400, a)) {
        const std::wstring file = WideFromUtf8(word(0));
        const DWORD start = GetTickCount();
        bool found = false;
        while (!(found = GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) &&
               GetTickCount() - start < static_cast<DWORD>(a) * 1000u) {
            Pause(100);
        }
        EmitResult("wait-file", found ? LVC_DONE : LVC_E_TIMEOUT);
        Note('\0', found ? LVC_DONE : LVC_E_TIMEOUT);
    } else {
        return false;
    }
    ShowArrivals();
    return true;
}

// ---- start -------------------------------------------------------------------------------------

bool ReadAll(const std::vector<std::string>& args, std::size_t index, std::string& text) {
    std::FILE* file = nullptr;
    const bool fromStdin = args[index] == "-";
    if (fromStdin) {
        file = stdin;
    } else {
        file = _wfopen(WideFromUtf8(args[index]).c_str(), L"rb");
    }
    if (file == nullptr) {
        std::fprintf(stderr, "pbclient: cannot open %s\n", args[index].c_str());
        return false;
    }
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        text.append(buffer, n);
    }
    if (!fromStdin) {
        std::fclose(file);
    }
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text.erase(0, 3);
    }
    return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

int Main(const std::vector<std::string>& args) {
    std::size_t at = 1;
    DWORD timeoutMs = LVC_DEFAULT_TIMEOUT_MS;
    long seconds = 0;
    if (at + 1 < args.size() && args[at] == "--timeout") {
        if (!Number(args[at + 1], 86400, seconds) || seconds == 0) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        timeoutMs = static_cast<DWORD>(seconds) * 1000u;
        at += 2;
    }
    if (at >= args.size() || args[at] == "--help" || args[at] == "-h") {
        std::fputs(kUsage, at >= args.size() ? stderr : stdout);
        return at >= args.size() ? kExitUsage : kExitOk;
    }
    if (args[at] == "--version" && at + 1 == args.size()) {
        char kit[32];
        lvc_version(kit, sizeof(kit));
        Emit(std::string("pbclient ") + LODEVAR_VERSION + " (client kit " + kit + ")");
        return kExitOk;
    }
    std::vector<std::string> lines;
    if (args[at] == "session") {
        std::string text;
        if (at + 2 != args.size() || !ReadAll(args, at + 1, text)) {
            std::fputs(kUsage, stderr);
            return kExitUsage;
        }
        lines = SplitLines(text);
    } else {
        std::string line;
        for (std::size_t i = at; i < args.size(); ++i) {
            line += (i > at ? " " : "") + args[i];
        }
        lines.push_back(line);
    }

    CSession session(timeoutMs);
    if (!session.Open()) {
        return kExitFailed;
    }
    int exitCode = kExitOk;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        CLine line(lines[i]);
        if (line.Count() == 0 || line.Word(0)[0] == '#') {
            continue;
        }
        if (!session.Run(line)) {
            std::fprintf(stderr, "pbclient: line %u not understood: %s\n", static_cast<unsigned>(i + 1),
                         lines[i].c_str());
            exitCode = kExitUsage;
            if (lines.size() == 1) {
                std::fputs(kUsage, stderr);
            }
        }
    }
    if (exitCode == kExitOk && session.NoDriver()) {
        exitCode = kExitNoDriver;
    } else if (exitCode == kExitOk && session.Failed()) {
        exitCode = kExitFailed;
    }
    return exitCode;
}

}  // namespace

int main() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        args.push_back(Utf8FromWide(wide[i]));
    }
    if (wide != nullptr) {
        LocalFree(wide);
    }
    return Main(args);
}
