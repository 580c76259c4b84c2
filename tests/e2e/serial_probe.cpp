// serial-probe PORT [BAUD]: opens a printer port through the real platform, finds the printer
// family, asks for its status and prints one line:
//   family=<n> status=<code> text=<error text of the link, UTF-8>
// or "open failed: <error text>" with exit code 2. PORT is a port number (1) or a name (COM1).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/comm.h"
#include "os/win32/win32_platform.h"
#include "os/win32/win32_text.h"

namespace {

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
        std::fprintf(stderr, "usage: serial-probe PORT [BAUD]\n");
        return 1;
    }

    win32::CWin32Platform platform;
    CComm comm(platform.Platform());
    if (comm.OpenPort(port, static_cast<std::uint32_t>(baud), 8, 0, 0) == 0) {
        std::printf("open failed: %s\n", win32::Utf8FromCp949(comm.m_strError.c_str()).c_str());
        return 2;
    }
    comm.m_nFamily = comm.ProbeFamily();
    int code = comm.QueryStatus();
    std::string text = win32::Utf8FromCp949(comm.GetErrorText().c_str());
    std::printf("family=%d status=%d text=%s\n", comm.m_nFamily, code, text.c_str());
    return 0;
}
