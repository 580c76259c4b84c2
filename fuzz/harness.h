#pragma once

// What the three fuzz targets share: the simulated workstation of one input, with a virtual clock
// that watches every step against a time bound and an operator who can press the cancel key.

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_frame.h"
#include "base/status_codes.h"
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

// The fuzzer's bytes, read from the front. Past the end every read gives zeros.
class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_pData(data), m_nSize(size) {}

    bool Empty() const { return m_nAt >= m_nSize; }
    std::uint8_t Byte() { return Empty() ? 0 : m_pData[m_nAt++]; }
    // A number of 16 or 32 bits, little-endian: the low byte first.
    std::uint32_t Word(int bytes = 2) {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        }
        return value;
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

// The simulated clock, which between a step's Begin() and End() runs `watch` after every step of
// time and once at the end, and fails a wait that idles past its own time-out.
class CFuzzClock : public sim::CSimClock {
public:
    CFuzzClock() : sim::CSimClock(1000) {}
    void Sleep(std::uint32_t ms) override {
        sim::CSimClock::Sleep(ms);
        Watch();
    }
    void IdleUntil(std::uint32_t deadline, os::Handle wake) override {
        // A wait asks for another pass only while its time-out has not passed.
        Expect(os::Ahead(Ticks(), deadline) != 0, "a wait idles past its time-out at %u", deadline);
        sim::CSimClock::IdleUntil(deadline, wake);
        Watch();
    }

    void Begin() {
        started = Ticks();
        active = true;
    }
    void End() {
        Watch();
        active = false;
    }
    std::uint32_t Elapsed() { return Ticks() - started; }

    std::function<void()> watch;
    bool active = false;
    std::uint32_t started = 0;

private:
    void Watch() {
        if (active && watch) {
            watch();
        }
    }
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
            Expect(
                std::string_view(bytes + 1, 5) == std::string_view("\0\0\0\0\0", 5) &&
                    std::all_of(bytes + 6, bytes + 9, [](char c) { return c >= '0' && c <= '9'; }) &&
                    strnlen(bytes + 9, 99) <= 98,
                "the MSR advise reply has not zeros at 1..5, length digits at 6..8 and a text of 98 at most");
        } else if (message.copyTag == GATE_INFO) {
            const std::string_view text(bytes, message.copySize);
            Expect(text.substr(0, sizeof(kInfoSignature) - 1) == kInfoSignature && text.size() <= 4096 &&
                       text.back() == '\n',
                   "the driver's state is not its signature and whole lines within 4096 bytes");
        } else {
            Expect(message.copySize == kPrintEndBytes, "a client got %u bytes, no reply nor notice",
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
        clock.Attach(&queue, &serial);
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
            } else if (os::Ahead(clock.Ticks(), end) == 0) {
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

// A buffer handed to the driver, holding `contents` and then `fill` up to `size` bytes, alone on the
// heap at its exact size: the address sanitizer stops the first access past either end, read or write.
inline std::unique_ptr<char[]> Guarded(std::size_t size, char fill = '\0', const std::string& contents = {}) {
    auto bytes = std::make_unique<char[]>(size);
    std::fill_n(bytes.get(), size, fill);
    contents.copy(bytes.get(), size);
    return bytes;
}

// Whether the driver documents `result`: 1, or a code of the status table.
inline bool Documented(std::intptr_t result) {
    const auto code = static_cast<int>(result);
    return code == result &&
           (code == status::DONE || status::Name(code) != nullptr || status::Text(code) != nullptr);
}

// The operations of an input, read ahead of the bytes that follow them: up to `count`, each a code
// % N, then the fields `fields[code]` spells, in order: 'b' a byte argument, 't' a text (its length
// byte first).
struct Step {
    int code = 0;
    int arguments[2] = {};
    std::string text{};
};
template <std::size_t N>
std::vector<Step> ReadSteps(CInput& input, int count, const char* const (&fields)[N]) {
    std::vector<Step> steps;
    for (int i = 0; i < count && !input.Empty(); ++i) {
        Step& step = steps.emplace_back(Step{input.Byte() % static_cast<int>(N)});
        int argument = 0;
        for (const char* field = fields[step.code]; *field != '\0'; ++field) {
            if (*field == 'b') {
                step.arguments[argument++] = input.Byte();
            } else {
                step.text = input.Bytes(input.Byte());
            }
        }
    }
    return steps;
}

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
