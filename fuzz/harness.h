#pragma once

// What the three fuzz targets share: the simulated workstation of one input, with a virtual clock
// that watches every step against a time bound and an operator who can press the cancel key.

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/main_frame.h"
#include "comm/timing.h"
#include "gate/gate.h"
#include "os/sim/sim_platform.h"

namespace fuzz {

constexpr char kIni[] = "C:\\Lodevar\\User\\CommData.ini";

// Unless `holds`, reports the broken check and aborts, so that libFuzzer keeps the input as a crash.
__attribute__((format(printf, 2, 3))) inline void Expect(bool holds, const char* format, ...) {
    if (holds) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::fprintf(stderr, "\n==lodevar fuzz check failed== ");
    std::vfprintf(stderr, format, arguments);
    std::fprintf(stderr, "\n");  // stderr is unbuffered: all is out before the abort
    std::abort();
}

// The distance from `now` to a later time on the wrapping counter; 0 for a time already reached.
inline std::uint32_t Ahead(std::uint32_t now, std::uint32_t time) {
    return static_cast<std::int32_t>(time - now) > 0 ? time - now : 0;
}

// The fuzzer's bytes, read from the front. Past the end every read gives zeros.
class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_pData(data), m_nSize(size) {}

    bool Empty() const { return m_nAt >= m_nSize; }
    std::uint8_t Byte() { return Empty() ? 0 : m_pData[m_nAt++]; }
    // Little-endian, the low byte first.
    std::uint16_t Word() {
        const unsigned low = Byte();
        return static_cast<std::uint16_t>(low | Byte() << 8);
    }
    std::uint32_t Dword() {
        const std::uint32_t low = Word();
        return low | static_cast<std::uint32_t>(Word()) << 16;
    }
    // Up to n bytes (fewer at the end of the input).
    std::string Bytes(std::size_t n) {
        const std::size_t count = Empty() ? 0 : std::min(n, m_nSize - m_nAt);
        m_nAt += count;
        return std::string(reinterpret_cast<const char*>(m_pData + m_nAt - count), count);
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nAt = 0;
};

// A virtual millisecond clock. A wait's pass jumps to the next moment anything can happen (a message
// falls due, the wait's wake handle is signalled (a byte arrives for the serial device's read-ahead),
// or the wait's time-out), but 1 ms at least. Between a step's Begin() and End(), `watch` runs after
// every step of time and once at the end.
class CFuzzClock : public os::IClock {
public:
    std::uint32_t Ticks() override { return m_nNow; }
    void Sleep(std::uint32_t ms) override { Advance(m_nNow + ms); }
    void IdleUntil(std::uint32_t deadline, os::Handle wake) override {
        // A wait asks for another pass only while its time-out has not passed.
        std::uint32_t step = Ahead(m_nNow, deadline);
        Expect(step != 0, "a wait idles at %u, past its own time-out at %u", m_nNow, deadline);
        const bool serialWakes = serial != nullptr && wake != 0;
        if ((pump != nullptr && pump->HasDueMessage()) || (serialWakes && serial->Signalled(wake))) {
            return;  // the message or the byte is taken by the wait's next pass
        }
        std::uint32_t due = 0;
        if (pump != nullptr && pump->NextDue(due)) {
            step = std::min(step, Ahead(m_nNow, due));
        }
        if (serialWakes && serial->NextSignal(wake, due)) {
            step = std::min(step, Ahead(m_nNow, due));
        }
        Advance(m_nNow + std::max<std::uint32_t>(step, 1));
    }

    void Begin() {
        started = m_nNow;
        active = true;
    }
    void End() {
        if (watch) {
            watch();
        }
        active = false;
    }
    std::uint32_t Elapsed() const { return m_nNow - started; }

    sim::CSimPump* pump = nullptr;
    sim::CSimSerial* serial = nullptr;
    std::function<void()> watch;
    bool active = false;
    std::uint32_t started = 0;

private:
    void Advance(std::uint32_t to) {
        m_nNow = to;
        if (active && watch) {
            watch();
        }
    }

    std::uint32_t m_nNow = 1000;
};

// The simulated message queue, but while `escapeHeld` answers true, the operator holds the cancel key
// down: the driver finds a key-down of Escape at the head of the key messages.
struct CFuzzPump : os::IMessagePump {
    explicit CFuzzPump(sim::CSimPump& simQueue) : queue(simQueue) {}
    bool DispatchOne() override { return queue.DispatchOne(); }
    bool PeekKeyMessage(os::KeyMessage& key) override {
        if (escapeHeld && escapeHeld()) {
            key = {os::kWmKeyDown, 27};
            return true;
        }
        return queue.PeekKeyMessage(key);
    }

    sim::CSimPump& queue;
    std::function<bool()> escapeHeld;
};

// A teller application's window: fails on any record the driver sends it that is neither an MSR
// advise reply, an end-of-print notice nor an answer to a state query (copy-data tag 4) of the
// documented shape.
struct CClientWindow : os::IWindowProc {
    os::MessageResult OnMessage(os::Window, const os::Message& message) override {
        if (message.id != os::kWmCopyData) {
            return {true, 1};
        }
        const char* bytes = static_cast<const char*>(message.copyData);
        Expect(bytes != nullptr, "a client received a record without data");
        if (message.copySize == kAdviseReplyBytes && bytes[0] == 'A') {
            for (int i = 1; i < 9; ++i) {
                Expect(i < 6 ? bytes[i] == '\0' : bytes[i] >= '0' && bytes[i] <= '9',
                       "the MSR advise reply has a zero byte or a length digit wrong at offset %d", i);
            }
            Expect(strnlen(bytes + 9, 99) <= 98,
                   "the MSR advise reply's text is not terminated within its 99 bytes");
        } else if (message.copyTag == GATE_INFO) {
            const std::string_view text(bytes, message.copySize);
            Expect(text.substr(0, sizeof(kInfoSignature) - 1) == kInfoSignature && text.size() <= 4096 &&
                       text.back() == '\n',
                   "the driver's state is not its signature and whole lines within 4096 bytes");
        } else {
            Expect(message.copySize == kPrintEndBytes,
                   "a client received a record of %u bytes that is neither reply nor notice",
                   message.copySize);
            Expect(std::strcmp(bytes, "PRINT_END_PBPR_MSG") == 0 && strnlen(bytes + 64, 32) <= 31,
                   "the end-of-print notice does not have its name and the handle text");
        }
        return {true, 1};
    }
};

// The simulated workstation of one fuzz input.
struct CFuzzPlatform {
    CFuzzPlatform() {
        clock.pump = &queue;
        clock.serial = &serial;
        desktop.Attach(windows, queue);
    }
    CFuzzPlatform(const CFuzzPlatform&) = delete;
    CFuzzPlatform& operator=(const CFuzzPlatform&) = delete;

    CFuzzClock clock;
    sim::CSimPump queue{clock};
    CFuzzPump pump{queue};
    sim::CSimSerial serial{clock};
    sim::CSimLibraryLoader library;
    sim::CSimDesktop desktop;
    sim::CSimModule module;
    sim::CSimWindows windows{queue};
    sim::CSimSystem system;
    os::Platform platform{serial, clock, pump, library, desktop, module, windows, system};

    // Runs the message loop for `ms` of virtual time, dispatching `limit` messages at most.
    void RunLoop(std::uint32_t ms, int limit = 10000) {
        const std::uint32_t end = clock.Ticks() + ms;
        for (int dispatched = 0; dispatched < limit;) {
            if (queue.DispatchOne()) {
                ++dispatched;
            } else if (Ahead(clock.Ticks(), end) == 0) {
                break;
            } else {
                clock.IdleUntil(end, 0);
            }
        }
    }
    // The driver's main window, created as lodevar.exe creates it.
    std::unique_ptr<CMainFrame> StartDriver() {
        windows.RegisterMainClass(kMainWindowName);
        auto frame = std::make_unique<CMainFrame>(platform);
        Expect(frame->Create(), "the main window was not created");
        return frame;
    }
    // A WM_COPYDATA from `from` to `target`, the block handed over as it is (no copy); the answer.
    std::intptr_t CopyData(os::Window target, os::Window from, std::uintptr_t tag, void* data,
                           std::uint32_t size) {
        return windows.Send(
            target,
            os::Message{
                .id = os::kWmCopyData, .wParam = from, .copyTag = tag, .copySize = size, .copyData = data});
    }
    // Registers `client` with the driver's main window; the gate.
    os::Window Register(os::Window main, os::Window client) {
        return static_cast<os::Window>(
            windows.SendCopyData(main, client, GATE_REGISTER, nullptr, static_cast<std::uint32_t>(client)));
    }
};

// A buffer handed to the driver, holding `contents` and then `fill`, alone on the heap at its exact
// size: the address sanitizer stops the first access past either end, read or write.
class CGuarded {
public:
    explicit CGuarded(std::size_t size, char fill = '\0', const std::string& contents = {})
        : m_nSize(std::max(size, contents.size())), m_pData(new char[m_nSize]) {
        std::fill_n(m_pData.get(), m_nSize, fill);
        contents.copy(m_pData.get(), contents.size());
    }

    char* Data() { return m_pData.get(); }
    std::size_t Size() const { return m_nSize; }

private:
    std::size_t m_nSize;
    std::unique_ptr<char[]> m_pData;
};

// The bounds the fuzz targets derive from the protocol's time-outs and pauses in milliseconds (a
// wait of n ms ends by n + 1).
namespace protocol {
using namespace timing;
constexpr std::uint32_t kCtsWait = kCtsPolls * kCtsPollMs;  // a write that waits for CTS in vain
// A status query with a silent printer: every attempt in vain, on family 1 each after a request
// that waited for CTS.
constexpr std::uint32_t kSilentQueryA = kAttemptsA * (kReplyWaitAMs + 1 + kAttemptPauseMs);
constexpr std::uint32_t kSilentQueryB = kAttemptsB * (kCtsWait + kAttemptPauseMs + kReplyWaitBMs + 1);
// The longest a status query can still last once the printer has gone quiet: the attempt under way
// may have read an answer that starts the printer's recovery (an initialise or an eject), which
// runs queries of its own, nested at most twice.
constexpr std::uint32_t kQuietQueryA = 3 * (kSilentQueryA + kInitialisePauseMs + kCtsWait);
constexpr std::uint32_t kQuietQueryB = 3 * (kSilentQueryB + 2 * (kNextByteBMs + 1) + kMsrDataWaitMs + 1 +
                                            kInitialisePauseMs + 4 * kCtsWait + kRowPassMs);
// What a procedure may spend besides status queries: the stripe frame's wait, the pacing of a long
// text (up to 2100 bytes on the wire), the CTS waits of its writes, its pauses (at most a row pass).
constexpr std::uint32_t kQuietExtras = kFrameStartMs + 1 + 6 * kBlockPauseMs + 16 * kCtsWait + 8 * kRowPassMs;
}  // namespace protocol

}  // namespace fuzz
