// library-probe PORT [DATA]: brings up a family 2 printer through the real platform, which loads
// VSK_ALL.dll from this program's folder, then takes a passbook in, reads and writes its stripe and
// ejects it. One line per step:
//   open=<result> loaded=<m_bLibLoaded>
//   paperin=<result>
//   msrread=<result> data=<stripe data>
//   msrwrite=<result> error=<error text of the link, UTF-8>
//   paperout=<result>
// The steps after the open run only when it answers 1; otherwise the exit code is 2. A message
// box the link would show is printed instead, as "box=<caption>|<text>" with line breaks written
// \n, so that no case waits for an operator.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/comm.h"
#include "os/win32/win32_platform.h"
#include "os/win32/win32_text.h"

namespace {

class CPrintingDesktop : public os::IDesktop {
public:
    void MessageBoxOk(const char* text, const char* caption) override {
        std::string shown;
        for (char c : win32::Utf8FromCp949(text)) {
            shown += c == '\n' ? std::string("\\n") : std::string(1, c);
        }
        std::printf("box=%s|%s\n", win32::Utf8FromCp949(caption).c_str(), shown.c_str());
    }
    // The link shows only OK boxes; the driver's dialogs are not part of this probe.
    int RunMessageDialog(os::Window, const char*) override { return os::kIdCancel; }
    void CancelModal() override {}
    bool OpenTrayMenu(os::Window) override { return false; }
    bool OpenAbout(os::Window) override { return false; }
    bool OpenSettings(os::Window, const os::PropertyFields&) override { return false; }
    bool OpenCloseQuestion(os::Window, const char*, const char*) override { return false; }
    bool TakeAnswer(os::OperatorUi, os::OperatorAnswer&) override { return false; }
    void CloseOperatorUi() override {}
};

bool ParsePort(const char* text, std::uint8_t& port) {
    if (text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 10);
    if (*end != '\0' || value > 255) {
        return false;
    }
    port = static_cast<std::uint8_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint8_t port = 0;
    if (argc < 2 || argc > 3 || !ParsePort(argv[1], port)) {
        std::fprintf(stderr, "usage: library-probe PORT [DATA]\n");
        return 1;
    }
    const char* data = argc == 3 ? argv[2] : "DATA";

    win32::CWin32Platform real;
    CPrintingDesktop desktop;
    os::Platform platform{real.serial, real.clock,  real.pump,    real.library,
                          desktop,     real.module, real.windows, real.system};
    CComm comm(platform);
    comm.m_nFamily = 2;

    int open = comm.OpenDevice(port, 9600, 8, 0, 0);
    std::printf("open=%d loaded=%d\n", open, comm.m_bLibLoaded);
    if (open != 1) {
        return 2;
    }
    std::printf("paperin=%d\n", comm.PaperIn(0));
    char stripe[100];
    std::memset(stripe, 0, sizeof(stripe));
    int read = comm.MsrRead(stripe, sizeof(stripe));
    std::printf("msrread=%d data=%s\n", read, stripe);
    int write = comm.MsrWrite(data);
    std::printf("msrwrite=%d error=%s\n", write, win32::Utf8FromCp949(comm.m_strError.c_str()).c_str());
    std::printf("paperout=%d\n", comm.PaperOut());
    return 0;
}
