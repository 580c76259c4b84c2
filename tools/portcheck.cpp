// portcheck PORT [BAUD]: the port check of branch IT, shipped beside the driver. Opens a printer
// port with the driver's own link code, finds the printer family, asks for its status and prints
// one line:
//   family=<n> status=<code> text=<error text of the link>
// or "open failed: <error text>" with exit code 2. PORT is a port number (1) or a name (COM1).
// The text goes to a console as Unicode (readable whatever its code page) and to a file or a pipe
// as UTF-8. The port must be free: stop the driver first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/comm.h"
#include "os/win32/win32_platform.h"
#include "os/win32/win32_text.h"

namespace {

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

}  // namespace

int main(int argc, char** argv) {
    std::uint8_t port = 0;
    unsigned long baud = 9600;
    if (argc < 2 || argc > 3 || !ParsePort(argv[1], port) ||
        (argc == 3 && !ParseNumber(argv[2], 0xFFFFFFFFul, baud))) {
        std::fprintf(stderr,
                     "usage: portcheck PORT [BAUD]   (PORT: 1, 2, COM1, COM2; BAUD: 9600 when left out)\n");
        return 1;
    }

    win32::CWin32Platform platform;
    CComm comm(platform.Platform());
    if (comm.OpenPort(port, static_cast<std::uint32_t>(baud), 8, 0, 0) == 0) {
        PrintLine("open failed: " + win32::Utf8FromCp949(comm.m_strError.c_str()));
        return 2;
    }
    comm.m_nFamily = comm.ProbeFamily();
    int code = comm.QueryStatus();
    std::string text = win32::Utf8FromCp949(comm.GetErrorText().c_str());
    PrintLine("family=" + std::to_string(comm.m_nFamily) + " status=" + std::to_string(code) +
              " text=" + text);
    return 0;
}
