// portcheck: the port check of branch IT, shipped beside the driver. Opens a printer port with the
// driver's own link code, finds the printer family and asks for its status.
//
//   portcheck PORT [BAUD]    one port (1, COM1, ...; BAUD 9600 when left out):
//                              family=<n> status=<code> text=<the link's text>
//                            or "open failed: <the link's error>"
//   portcheck [--scan [BAUD]]   COM1 to COM9, one line per port, "COMn: " and the line above, then
//                            "found: COMn family <n> (<name>)" for each port that answered, or
//                            "found: none"; a printer found above COM2 gets a note on how the driver
//                            reaches it
//   portcheck --help | --version
//
// Exit code: 0 a printer answered; 1 the port could not be opened; 2 the command line is not
// understood; 3 the port (or every port of the scan) opened, or could not, and no printer answered.
// The text goes to a console as Unicode (readable whatever its code page) and to a file or a pipe
// as UTF-8. The ports must be free: stop the driver first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "lodevar_version.h"
#include "os/win32/win32_platform.h"
#include "os/win32/win32_text.h"

namespace {

constexpr int kExitFound = 0;
constexpr int kExitOpenFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoAnswer = 3;
constexpr int kScanLast = 9;

const char kUsage[] =
    "usage: portcheck PORT [BAUD]     check one port (PORT: 1, COM1, ...; BAUD: 9600 when left out)\n"
    "       portcheck [--scan [BAUD]] check COM1 to COM9 and name the ports where a printer answers\n"
    "       portcheck --help | --version\n"
    "Stop the driver first: it holds its port.\n"
    "exit code: 0 a printer answered, 1 the port could not be opened, 2 not understood,\n"
    "           3 no printer answered\n";

// One line to standard output: Unicode on a console, UTF-8 otherwise.
void PrintLine(const std::string& utf8) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (out != INVALID_HANDLE_VALUE && out != nullptr && GetConsoleMode(out, &mode)) {
        std::wstring line(utf8.size() + 1, L'\0');
        int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), line.data(),
                                    static_cast<int>(line.size()));
        line.resize(static_cast<std::size_t>(n > 0 ? n : 0));
        line += L"\r\n";
        DWORD written = 0;
        WriteConsoleW(out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    std::printf("%s\n", utf8.c_str());
    std::fflush(stdout);
}

bool ParseNumber(const char* text, unsigned long limit, unsigned long& value) {
    if (text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    value = std::strtoul(text, &end, 10);
    return *end == '\0' && value <= limit;
}

bool ParsePort(const char* text, std::uint8_t& port) {
    if ((text[0] == 'C' || text[0] == 'c') && (text[1] == 'O' || text[1] == 'o') &&
        (text[2] == 'M' || text[2] == 'm')) {
        text += 3;
    }
    unsigned long value = 0;
    if (!ParseNumber(text, 255, value)) {
        return false;
    }
    port = static_cast<std::uint8_t>(value);
    return true;
}

const char* FamilyName(int family) {
    switch (family) {
        case 0:
            return "Alder";
        case 1:
            return "Birch";
        default:
            return "?";
    }
}

struct Answer {
    int exitCode = kExitNoAnswer;
    int family = status::ERR_PBPROFF;
    std::string line;
};

// Opens the port, finds the family and asks for the status.
Answer Check(std::uint8_t port, std::uint32_t baud) {
    win32::CWin32Platform platform;
    CComm comm(platform.Platform());
    Answer answer;
    if (comm.OpenPort(port, baud, 8, 0, 0) == 0) {
        answer.exitCode = kExitOpenFailed;
        answer.line = "open failed: " + win32::Utf8FromCp949(comm.m_strError.c_str());
        return answer;
    }
    comm.m_nFamily = comm.ProbeFamily();
    int code = comm.QueryStatus();
    answer.family = comm.m_nFamily;
    answer.exitCode = comm.m_nFamily == status::ERR_PBPROFF ? kExitNoAnswer : kExitFound;
    answer.line = "family=" + std::to_string(comm.m_nFamily) + " status=" + std::to_string(code) +
                  " text=" + win32::Utf8FromCp949(comm.GetErrorText().c_str());
    return answer;
}

// What the driver does with a printer found on `port`.
std::string PortNote(std::uint8_t port) {
    if (port <= 2) {
        return {};
    }
    if (port <= 4) {
        return "note: set PORT=" + std::to_string(port) +
               " in User\\CommData.ini (the settings dialog offers Com1 and Com2 only; the driver falls back "
               "to COM1, not back to COM" +
               std::to_string(port) + ")";
    }
    return "note: the driver opens COM1 to COM4 only: give this port the number COM1, COM2, COM3 or COM4 "
           "(Device Manager, Ports, the adapter's Properties, Port Settings, Advanced, COM Port Number), "
           "then set PORT in User\\CommData.ini";
}

int Scan(std::uint32_t baud) {
    std::vector<std::string> found;
    std::vector<std::string> notes;
    for (int port = 1; port <= kScanLast; ++port) {
        Answer answer = Check(static_cast<std::uint8_t>(port), baud);
        std::string name = "COM" + std::to_string(port);
        PrintLine(name + ": " + answer.line);
        if (answer.exitCode == kExitFound) {
            found.push_back("found: " + name + " family " + std::to_string(answer.family) + " (" +
                            FamilyName(answer.family) + ")");
            std::string note = PortNote(static_cast<std::uint8_t>(port));
            if (!note.empty()) {
                notes.push_back(name + " " + note);
            }
        }
    }
    for (const std::string& line : found) {
        PrintLine(line);
    }
    for (const std::string& line : notes) {
        PrintLine(line);
    }
    if (found.empty()) {
        PrintLine("found: none");
        return kExitNoAnswer;
    }
    return kExitFound;
}

int Usage() {
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long baud = 9600;
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return kExitFound;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        PrintLine(std::string("portcheck ") + LODEVAR_VERSION);
        return kExitFound;
    }
    if (argc == 1 || std::strcmp(argv[1], "--scan") == 0) {
        if (argc > 3 || (argc == 3 && !ParseNumber(argv[2], 0xFFFFFFFFul, baud))) {
            return Usage();
        }
        return Scan(static_cast<std::uint32_t>(baud));
    }
    std::uint8_t port = 0;
    if (argc > 3 || !ParsePort(argv[1], port) || (argc == 3 && !ParseNumber(argv[2], 0xFFFFFFFFul, baud))) {
        return Usage();
    }
    Answer answer = Check(port, static_cast<std::uint32_t>(baud));
    PrintLine(answer.line);
    std::string note = answer.exitCode == kExitFound ? PortNote(port) : std::string();
    if (!note.empty()) {
        PrintLine(note);
    }
    return answer.exitCode;
}
