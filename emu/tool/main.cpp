// lodevar-emu: an emulated passbook printer of family 0 or 1 on a pseudo-terminal, for the
// driver under Wine, for the demo, and for anyone without a printer at hand.
//
//   lodevar-emu --family 0|1 [--link PATH] [--control FIFO] [--page-file PATH] [--lines-file PATH]
//               [--verbose]
//
// The first line on standard output is "PTY <slave path>". Control commands (see emu/control.h)
// come one per line from standard input and from the named pipe FIFO. One poll() loop runs
// everything in real time: it sleeps until the driver writes, a command comes, or the next
// answer byte is due, to the microsecond. With --verbose, each answer sent also gives a line
// "# answer late by N us": how long after its due time it was written.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "emu/control.h"
#include "emu/printer_emulator.h"
#include "emu/tool/pty_port.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char kUsage[] =
    "usage: lodevar-emu --family 0|1 [--link PATH] [--control FIFO] [--page-file PATH] [--lines-file PATH]\n"
    "                   [--verbose]\n";

struct Options {
    int family = -1;
    std::string link;
    std::string control;
    std::string pageFile;
    std::string linesFile;  // every printed run with its attributes (CPageModel::Listing)
    bool verbose = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--family" && hasValue) {
            std::string value = argv[++i];
            if (value != "0" && value != "1") {
                return false;
            }
            options.family = value[0] - '0';
        } else if (arg == "--link" && hasValue) {
            options.link = argv[++i];
        } else if (arg == "--control" && hasValue) {
            options.control = argv[++i];
        } else if (arg == "--page-file" && hasValue) {
            options.pageFile = argv[++i];
        } else if (arg == "--lines-file" && hasValue) {
            options.linesFile = argv[++i];
        } else {
            return false;
        }
    }
    return options.family >= 0;
}

bool IsCtsCommand(const std::string& line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && line.compare(first, 4, "cts ") == 0;
}

// Cuts what arrives on a control channel into lines.
class CLineSplitter {
public:
    void Feed(const char* bytes, std::size_t n) { m_pending.append(bytes, n); }
    // At the end of input a last line without a line feed still counts.
    void End() {
        if (!m_pending.empty()) {
            m_pending += '\n';
        }
    }
    bool Next(std::string& line) {
        std::size_t end = m_pending.find('\n');
        if (end == std::string::npos) {
            return false;
        }
        line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        return true;
    }

private:
    std::string m_pending;
};

class CTool {
public:
    explicit CTool(const Options& options)
        : m_options(options), m_printer(options.family), m_start(std::chrono::steady_clock::now()) {}
    int Run();

private:
    // Microseconds since the tool started, and the printer's millisecond clock.
    std::uint64_t ElapsedUs() const;
    std::uint32_t Now() const;
    // When the printer's clock reaches `time`, in microseconds since the tool started.
    std::uint64_t DueUs(std::uint32_t time) const;
    bool Plug();
    void Unplug();
    bool OpenFifo();
    void ReadPort();
    void ReadControl(int fd, CLineSplitter& splitter, bool& isOpen, bool reopen);
    void RunLines(CLineSplitter& splitter);
    void SendDue();
    void ShowWire();
    void WritePageFile();
    void Cleanup();

    Options m_options;
    emu::CPrinterEmulator m_printer;
    std::chrono::steady_clock::time_point m_start;
    std::uint64_t m_nShiftUs = 0;  // how far the printer's clock lags the tool's (see ReadPort)
    CPtyPort m_port;
    int m_nFifo = -1;
    bool m_bStdinOpen = true;
    bool m_bQuit = false;
    CLineSplitter m_stdinLines;
    CLineSplitter m_fifoLines;
    std::size_t m_nShownRecords = 0;  // wire records fully shown
    std::size_t m_nShownBytes = 0;    // bytes shown of the record after them
    std::size_t m_nPagedLines = 0;    // printed lines already in the page file
};

std::uint64_t CTool::ElapsedUs() const {
    auto elapsed = std::chrono::steady_clock::now() - m_start;
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
}

// Milliseconds on a steady clock, starting at 1000 like the driver's tick counter in tests.
std::uint32_t CTool::Now() const {
    return 1000u + static_cast<std::uint32_t>((ElapsedUs() - m_nShiftUs) / 1000u);
}

std::uint64_t CTool::DueUs(std::uint32_t time) const {
    return m_nShiftUs + static_cast<std::uint64_t>(static_cast<std::uint32_t>(time - 1000u)) * 1000u;
}

bool CTool::Plug() {
    std::string error;
    if (!m_port.Open(error)) {
        std::fprintf(stderr, "lodevar-emu: %s\n", error.c_str());
        return false;
    }
    if (!m_options.link.empty() && !PointLink(m_options.link, m_port.SlavePath(), error)) {
        std::fprintf(stderr, "lodevar-emu: %s\n", error.c_str());
        m_port.Close();
        return false;
    }
    std::printf("PTY %s\n", m_port.SlavePath().c_str());
    std::fflush(stdout);
    return true;
}

void CTool::Unplug() {
    m_port.Close();
    // The port vanishes, as a pulled USB adapter's does: the link must not keep naming the
    // pseudo-terminal, whose number the next program to ask for one gets.
    if (!m_options.link.empty()) {
        RemoveLink(m_options.link);
    }
    m_printer.DropLine();
}

bool CTool::OpenFifo() {
    m_nFifo = open(m_options.control.c_str(), O_RDONLY | O_NONBLOCK);
    if (m_nFifo < 0) {
        std::fprintf(stderr, "lodevar-emu: open %s: %s\n", m_options.control.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

void CTool::ReadPort() {
    char buffer[4096];
    for (;;) {
        ssize_t n = read(m_port.Master(), buffer, sizeof(buffer));
        if (n <= 0) {
            return;  // nothing more waiting (EAGAIN), or nobody on the other side
        }
        // The printer's clock counts whole milliseconds, and an answer is due whole milliseconds
        // after the request. So that it is due that long after the request's real arrival (not up to
        // a millisecond less), the clock is set back to make this instant a whole millisecond: by
        // less than one, never backwards, and only while no answer is on its way, whose due time
        // would move.
        std::uint32_t due = 0;
        if (!m_printer.NextDue(due)) {
            m_nShiftUs += (ElapsedUs() - m_nShiftUs) % 1000u;
        }
        m_printer.Write(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(n), Now());
    }
}

void CTool::ReadControl(int fd, CLineSplitter& splitter, bool& isOpen, bool reopen) {
    char buffer[1024];
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) {
        splitter.Feed(buffer, static_cast<std::size_t>(n));
        RunLines(splitter);
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return;
    }
    splitter.End();
    RunLines(splitter);
    if (reopen) {
        close(fd);
        m_nFifo = -1;
        isOpen = OpenFifo();
    } else {
        isOpen = false;
    }
}

void CTool::RunLines(CLineSplitter& splitter) {
    std::string line;
    while (!m_bQuit && splitter.Next(line)) {
        if (m_options.verbose && !line.empty()) {
            std::fprintf(stderr, "# %s\n", line.c_str());
        }
        switch (emu::RunControlLine(m_printer, line, Now())) {
            case emu::ControlAction::Done:
                if (m_options.verbose && IsCtsCommand(line)) {
                    std::fprintf(stderr,
                                 "# a pseudo-terminal has no CTS line: the port still reports CTS on\n");
                }
                break;
            case emu::ControlAction::Page:
                std::fputs(m_printer.Page().Render().c_str(), stdout);
                std::fputs("END PAGE\n", stdout);
                std::fflush(stdout);
                break;
            case emu::ControlAction::Unplug:
                Unplug();
                break;
            case emu::ControlAction::Replug:
                Unplug();
                if (!Plug()) {
                    m_bQuit = true;
                }
                break;
            case emu::ControlAction::Quit:
                m_bQuit = true;
                break;
            case emu::ControlAction::Unknown:
                std::fprintf(stderr, "? %s\n", line.c_str());
                break;
        }
    }
}

// Writes every byte that is due, in one write() for what is due together (a whole frame).
void CTool::SendDue() {
    std::uint8_t buffer[4096];
    std::uint32_t due = 0;
    const bool queued = m_printer.NextDue(due);
    std::size_t n = m_printer.Read(buffer, sizeof(buffer), Now());
    if (n == 0 || !m_port.IsOpen()) {
        return;
    }
    if (m_options.verbose && queued) {
        std::fprintf(stderr, "# answer late by %llu us\n",
                     static_cast<unsigned long long>(ElapsedUs() - std::min(ElapsedUs(), DueUs(due))));
    }
    std::size_t done = 0;
    while (done < n) {
        ssize_t written = write(m_port.Master(), buffer + done, n - done);
        if (written <= 0) {
            if (m_options.verbose) {
                std::fprintf(stderr, "# %zu bytes lost: %s\n", n - done, std::strerror(errno));
            }
            return;
        }
        done += static_cast<std::size_t>(written);
    }
}

void CTool::ShowWire() {
    const std::vector<emu::WireRecord>& wire = m_printer.Wire();
    while (m_nShownRecords < wire.size()) {
        const emu::WireRecord& record = wire[m_nShownRecords];
        if (record.bytes.size() > m_nShownBytes) {
            emu::WireRecord part = record;
            part.bytes = record.bytes.substr(m_nShownBytes);
            std::fprintf(stderr, "%s\n", emu::FormatWireRecord(part).c_str());
        }
        if (m_nShownRecords + 1 == wire.size()) {
            m_nShownBytes = record.bytes.size();  // the last record may still grow
            return;
        }
        ++m_nShownRecords;
        m_nShownBytes = 0;
    }
}

// Replaces `path` by `text` at once (a reader never sees half a file).
void WriteWhole(const std::string& path, const std::string& text) {
    std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "w");
    if (file == nullptr) {
        std::fprintf(stderr, "lodevar-emu: %s: %s\n", temporary.c_str(), std::strerror(errno));
        return;
    }
    bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    written = std::fclose(file) == 0 && written;
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "lodevar-emu: %s: %s\n", path.c_str(), std::strerror(errno));
    }
}

void CTool::WritePageFile() {
    m_nPagedLines = m_printer.Page().Lines().size();
    if (!m_options.pageFile.empty()) {
        WriteWhole(m_options.pageFile, m_printer.Page().Render());
    }
    if (!m_options.linesFile.empty()) {
        WriteWhole(m_options.linesFile, m_printer.Page().Listing());
    }
}

void CTool::Cleanup() {
    SendDue();
    if (m_options.verbose) {
        ShowWire();
    }
    WritePageFile();
    m_port.Close();
    if (!m_options.link.empty()) {
        RemoveLink(m_options.link);
    }
    if (m_nFifo >= 0) {
        close(m_nFifo);
    }
    if (!m_options.control.empty()) {
        unlink(m_options.control.c_str());
    }
}

int CTool::Run() {
    // SIGINT and SIGTERM are blocked except while the loop waits in ppoll(), so a signal either
    // ends that wait or is seen at the next one; it never slips in between.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // The kernel may otherwise let a timed wait run 50 us long, to batch wake-ups.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    if (!Plug()) {
        return 1;
    }
    bool fifoOpen = false;
    if (!m_options.control.empty()) {
        struct stat info {};
        if (mkfifo(m_options.control.c_str(), 0600) != 0 &&
            !(errno == EEXIST && stat(m_options.control.c_str(), &info) == 0 && S_ISFIFO(info.st_mode))) {
            std::fprintf(stderr, "lodevar-emu: mkfifo %s: %s\n", m_options.control.c_str(),
                         std::strerror(errno));
            m_options.control.clear();
            Cleanup();
            return 1;
        }
        fifoOpen = OpenFifo();
    }

    while (g_stop == 0 && !m_bQuit) {
        SendDue();
        if (m_options.verbose) {
            ShowWire();
        }
        if (m_printer.Page().Lines().size() != m_nPagedLines) {
            WritePageFile();
        }

        timespec wait{};
        timespec* timeout = nullptr;
        std::uint32_t due = 0;
        if (m_printer.NextDue(due)) {
            const std::uint64_t at = DueUs(due), now = ElapsedUs();
            const std::uint64_t left = at > now ? at - now : 0;
            wait.tv_sec = static_cast<time_t>(left / 1000000u);
            wait.tv_nsec = static_cast<long>(left % 1000000u) * 1000L;
            timeout = &wait;
        }
        pollfd fds[3];
        nfds_t count = 0;
        int portSlot = -1;
        int stdinSlot = -1;
        int fifoSlot = -1;
        if (m_port.IsOpen()) {
            portSlot = static_cast<int>(count);
            fds[count++] = pollfd{m_port.Master(), POLLIN, 0};
        }
        if (m_bStdinOpen) {
            stdinSlot = static_cast<int>(count);
            fds[count++] = pollfd{STDIN_FILENO, POLLIN, 0};
        }
        if (fifoOpen) {
            fifoSlot = static_cast<int>(count);
            fds[count++] = pollfd{m_nFifo, POLLIN, 0};
        }
        int ready = ppoll(fds, count, timeout, &waitMask);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::fprintf(stderr, "lodevar-emu: poll: %s\n", std::strerror(errno));
            break;
        }
        if (portSlot >= 0 && fds[portSlot].revents != 0) {
            if ((fds[portSlot].revents & POLLIN) != 0) {
                ReadPort();
            } else {
                // Hang-up or error without data cannot happen while the slave is held open;
                // should it, the port is dead rather than polled in a spin.
                std::fprintf(stderr, "lodevar-emu: the pseudo-terminal failed; unplugged\n");
                Unplug();
            }
        }
        if (stdinSlot >= 0 && fds[stdinSlot].revents != 0) {
            ReadControl(STDIN_FILENO, m_stdinLines, m_bStdinOpen, false);
        }
        if (fifoSlot >= 0 && fds[fifoSlot].revents != 0 && !m_bQuit) {
            ReadControl(m_nFifo, m_fifoLines, fifoOpen, true);
        }
    }
    Cleanup();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    CTool tool(options);
    return tool.Run();
}
