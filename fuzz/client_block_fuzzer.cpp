// Fuzz target: what clients send by WM_COPYDATA. Blocks of any size and content reach a registered
// gate of the main window, immediate (tag 0) or queued (any other tag), and run through the parser
// and every request handler against an emulated printer; the queued ones run when the harness lets
// the message loop dispatch them. Registration, release, shut-down and other tags reach the main
// window; gates are closed; the MSR advise timer ticks while the loop runs.
//
// Input:
//   byte 0   bit 0: printer family 0 or 1; bits 1-2: MODEL setting ("0", "1", none, "2");
//            bit 3: the clients' wait event exists; bit 4: the operator answers yes to the close
//            question; bit 5: yes to the open's retry question; bit 6: TRACE on; bit 7: CTS off
//   byte 1   bits 0-1: medium in the printer at start (none, passbook, chit); bits 2-3: the stripe
//            (data, unformatted, none); bits 4-7: a fault (none, silent, garbage, cut frames, slow
//            frames, jam, forced status, answer delay (parameter x 10 ms, at least 5 ms; else
//            20 ms), status frames before the
//            stripe, printer on COM2 instead of COM1)
//   byte 2   the fault's parameter
//   byte 3   the operator puts in a medium (byte 4 % 3) at byte 3 x 100 ms (0: never)
//   byte 4   that medium
//   then messages, until the input ends (at most 48), each a kind byte (% 8) and its fields:
//     0 immediate request: gate byte, size (16 bits % 700), that many block bytes
//     1 queued request: gate byte, tag byte (% 4: the client, no window, 32 bits from the input,
//       the main window), size (16 bits % 700), that many block bytes
//     2 to the main window: tag byte (1 register, 2 release, 3 shut down, others as they are),
//       sender byte (a client % 3, or none), notice window byte (% 4: the sender, a gate, the main
//       window, 16 bits from the input)
//     3 the message loop dispatches what is due
//     4 the message loop runs for byte x 100 ms
//     5 WM_CLOSE to a gate (gate byte)
//     6 a block without data (null pointer) to a gate: gate byte, tag byte, size (16 bits)
//     7 the operator: byte % 4: puts in a passbook, a chit, takes the medium out, presses nothing
//
// Checks besides the sanitizers:
//   - each message ends within a bound derived from the protocol's time-outs: the operator waits
//     kPatienceMs for a request that waits on the printer or on the operator (a medium wait, an
//     eject the printer never finishes, a stripe read), then holds Escape; from then on the request
//     must end within the time some quiet-printer status queries take;
//   - every wait ends at its own time-out (the clock fails a pass past it);
//   - no block is read or written past its size (the block is handed in with poisoned guard bytes),
//     and a request changes nothing in its block but the reply of an immediate 'R' at offsets 6..88;
//   - answers: an immediate request a status code (-1 to 255), a queued one 1 or 56 (short block),
//     the main window a gate or 0; no printer exchange is left running between messages;
//   - the records the clients receive have their documented shape.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "emu/printer_emulator.h"
#include "fuzz/harness.h"
#include "gate/gate.h"

namespace {

using fuzz::CGuarded;
using fuzz::CInput;
namespace protocol = fuzz::protocol;

constexpr std::uint32_t kPatienceMs = 3000;
constexpr std::uint32_t kAnswerDelayMs = 20;
constexpr std::uint32_t kMinAnswerDelayMs = 5;
constexpr int kMaxMessages = 48;
constexpr std::size_t kMaxBlockBytes = 700;
constexpr char kIni[] = "C:\\Lodevar\\User\\CommData.ini";
// Once Escape is held, a request ends within this many quiet status queries (one under way, one in
// an eject, one in the next pass of the outer wait, and those of the steps of a print after it).
constexpr std::uint32_t kQueriesAfterEscape = 12;
constexpr std::uint32_t kAfterEscapeMs =
    kQueriesAfterEscape * std::max(protocol::kQuietQueryA, protocol::kQuietQueryB) + protocol::kQuietExtras;

// A teller application's window: checks the shape of every record the driver sends it.
struct ClientWindow : os::IWindowProc {
    os::MessageResult OnMessage(os::Window, const os::Message& message) override {
        if (message.id != os::kWmCopyData) {
            return {true, 1};
        }
        const char* bytes = static_cast<const char*>(message.copyData);
        if (bytes == nullptr) {
            fuzz::Fail("a client received a record without data");
        }
        if (message.copySize == kAdviseReplyBytes && bytes[0] == 'A') {
            for (int i = 1; i < 6; ++i) {
                if (bytes[i] != '\0') {
                    fuzz::Fail("the MSR advise reply has a non-zero byte at offset %d", i);
                }
            }
            for (int i = 6; i < 9; ++i) {
                if (bytes[i] < '0' || bytes[i] > '9') {
                    fuzz::Fail("the MSR advise reply's length field is not three digits");
                }
            }
            if (strnlen(bytes + 9, 99) > 98) {
                fuzz::Fail("the MSR advise reply's text is not terminated within its 99 bytes");
            }
        } else if (message.copySize == kPrintEndBytes) {
            if (std::strcmp(bytes, "PRINT_END_PBPR_MSG") != 0 || strnlen(bytes + 64, 32) > 31) {
                fuzz::Fail("the end-of-print notice does not have its name and the handle text");
            }
        } else {
            fuzz::Fail("a client received a record of %u bytes that is neither reply nor notice",
                       message.copySize);
        }
        return {true, 1};
    }
};

struct Gate {
    os::Window window = 0;
    os::Window client = 0;
};

void SetUpPrinter(emu::CPrinterEmulator& printer, std::uint8_t media, std::uint8_t parameter) {
    const emu::Medium kMedia[] = {emu::Medium::None, emu::Medium::Passbook, emu::Medium::Chit};
    // A printer on a 9600-baud line answers a request in about 20 ms (the answer-delay fault below
    // chooses any other delay). Loops without a pause of their own, such as the family 0 stripe
    // read, then make a pass per answer rather than one every 2 ms.
    printer.SetAnswerDelay(kAnswerDelayMs);
    printer.Insert(kMedia[media % 3]);
    switch ((media >> 2) % 4) {
        case 1:
            printer.SetStripeUnformatted();
            break;
        case 2:
            printer.SetNoStripe();
            break;
        default:
            break;
    }
    switch (media >> 4) {
        case 1:
            printer.SetSilent(true);
            break;
        case 2:
            printer.SetGarbage(true);
            break;
        case 3:
            printer.CutFrames(1 + parameter % 8);
            break;
        case 4:
            printer.SetSlowFrames(parameter);
            break;
        case 5:
            printer.Jam();
            break;
        case 6:
            printer.ForceStatus(parameter);
            break;
        case 7:
            // Never 0: a 5-byte frame takes 5 ms on a 9600-baud line. A printer that answered in no
            // time would let the family 0 stripe read (a loop without a pause of its own) run pass
            // after pass with the virtual clock standing still.
            printer.SetAnswerDelay(std::max<std::uint32_t>(kMinAnswerDelayMs, parameter * 10u));
            break;
        case 8:
            printer.SetStatusFramesBeforeStripe(parameter % 4, parameter);
            break;
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CInput input(data, size);
    const std::uint8_t setup = input.Byte();
    const std::uint8_t media = input.Byte();
    const std::uint8_t parameter = input.Byte();
    const std::uint8_t insertAt = input.Byte();
    const std::uint8_t inserted = input.Byte();

    emu::CPrinterEmulator printer(setup & 0x01);
    fuzz::CFuzzPlatform sim;
    SetUpPrinter(printer, media, parameter);
    printer.SetCts((setup & 0x80) == 0);
    if (insertAt != 0) {
        const emu::Medium kMedia[] = {emu::Medium::Passbook, emu::Medium::Chit, emu::Medium::None};
        printer.InsertAt(kMedia[inserted % 3], sim.clock.Ticks() + 100u * insertAt);
    }
    sim.serial.Attach((media >> 4) == 9 ? "COM2" : "COM1", &printer);
    sim.clock.nextByte = [&printer](std::uint32_t& due) { return printer.NextDue(due); };

    const char* const kModels[] = {"0", "1", nullptr, "2"};
    if (const char* model = kModels[(setup >> 1) & 0x03]) {
        sim.system.SetProfileValue(kIni, "Lodevar", "MODEL", model);
    }
    sim.system.SetProfileValue(kIni, "Lodevar", "TRACE", (setup & 0x40) != 0 ? "1" : "0");
    if ((setup & 0x08) != 0) {
        sim.system.CreateNamedEvent(kWaitEventName);
    }
    sim.desktop.defaultYesNo = (setup & 0x10) != 0;
    sim.desktop.defaultQuestionAnswer = (setup & 0x20) != 0 ? os::kIdOk : os::kIdCancel;

    sim.windows.RegisterMainClass(kMainWindowName);
    auto frame = std::make_unique<CMainFrame>(sim.platform);
    if (!frame->Create()) {
        fuzz::Fail("the main window was not created");
    }
    const os::Window main = frame->m_hWnd;
    ClientWindow clientProcs[3];
    os::Window clients[3];
    for (int i = 0; i < 3; ++i) {
        clients[i] = sim.windows.CreateClientWindow(clientProcs[i]);
    }
    std::vector<Gate> gates;
    auto registered = sim.windows.SendCopyData(main, clients[0], GATE_REGISTER, nullptr,
                                               static_cast<std::uint32_t>(clients[0]));
    gates.push_back(Gate{static_cast<os::Window>(registered), clients[0]});

    // The bound of the message under way, and the operator's Escape.
    bool active = false;
    std::uint32_t started = 0;
    std::uint32_t allowance = 0;
    int kind = 0;
    sim.clock.watch = [&] {
        if (active && sim.clock.Ticks() - started > allowance + kPatienceMs + kAfterEscapeMs) {
            fuzz::Fail("message kind %d still runs %u ms after it began (bound %u ms)", kind,
                       sim.clock.Ticks() - started, allowance + kPatienceMs + kAfterEscapeMs);
        }
    };
    sim.pump.escapeHeld = [&] { return active && sim.clock.Ticks() - started > allowance + kPatienceMs; };

    auto pickGate = [&](std::uint8_t choice) -> Gate {
        if (gates.empty() || choice == 0xFF) {
            return Gate{0xDEAD0, clients[0]};  // no window at all
        }
        return gates[choice % gates.size()];
    };
    auto send = [&](os::Window target, const os::Message& message) {
        return sim.windows.Send(target, message);
    };

    for (int count = 0; count < kMaxMessages && !input.Empty(); ++count) {
        kind = input.Byte() % 8;
        started = sim.clock.Ticks();
        allowance = 0;
        active = true;
        switch (kind) {
            case 0:
            case 1: {
                Gate gate = pickGate(input.Byte());
                std::uintptr_t tag = 0;
                if (kind == 1) {
                    switch (input.Byte() % 4) {
                        case 0:
                            tag = gate.client;
                            break;
                        case 1:
                            tag = 0xDEAD0;
                            break;
                        case 2:
                            tag = input.Dword();
                            break;
                        default:
                            tag = main;
                            break;
                    }
                    tag = tag == 0 ? 1 : tag;  // tag 0 would be an immediate request
                }
                std::string bytes = input.Bytes(input.Word() % kMaxBlockBytes);
                CGuarded block(bytes.size());
                std::memcpy(block.Data(), bytes.data(), bytes.size());
                os::Message message;
                message.id = os::kWmCopyData;
                message.wParam = gate.client;
                message.copyTag = tag;
                message.copySize = static_cast<std::uint32_t>(bytes.size());
                message.copyData = block.Data();
                std::intptr_t result = send(gate.window, message);
                block.Check("request block");
                const bool readReply = kind == 0 && !bytes.empty() && bytes[0] == 'R';
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    if (block.Data()[i] != bytes[i] && !(readReply && i >= 6 && i < 89)) {
                        fuzz::Fail("a %s request of %zu bytes changed its block at offset %zu",
                                   kind == 0 ? "immediate" : "queued", bytes.size(), i);
                    }
                }
                if (kind == 0 && (result < -1 || result > 255)) {
                    fuzz::Fail("an immediate request answered %ld", static_cast<long>(result));
                }
                if (kind == 1 && sim.windows.IsWindow(gate.window) && result != 1 && result != 56) {
                    fuzz::Fail("a queued request answered %ld", static_cast<long>(result));
                }
                break;
            }
            case 2: {
                std::uintptr_t tag = input.Byte();
                std::uint8_t who = input.Byte();
                os::Window sender = who < 0xF0 ? clients[who % 3] : who;
                os::Window notice = 0;
                switch (input.Byte() % 4) {
                    case 0:
                        notice = sender;
                        break;
                    case 1:
                        notice = pickGate(0).window;
                        break;
                    case 2:
                        notice = main;
                        break;
                    default:
                        notice = input.Word();
                        break;
                }
                os::Message message;
                message.id = os::kWmCopyData;
                message.wParam = sender;
                message.copyTag = tag;
                message.copySize = static_cast<std::uint32_t>(notice);
                std::intptr_t result = send(main, message);
                if (tag == GATE_REGISTER && result != 0) {
                    if (!sim.windows.IsWindow(static_cast<os::Window>(result))) {
                        fuzz::Fail("a registration answered %ld, which is no window",
                                   static_cast<long>(result));
                    }
                    gates.push_back(Gate{static_cast<os::Window>(result), sender});
                } else if (result != 0) {
                    fuzz::Fail("the main window answered tag %lu with %ld", static_cast<unsigned long>(tag),
                               static_cast<long>(result));
                }
                break;
            }
            case 3:
                sim.RunLoop(0, 64);
                break;
            case 4:
                allowance = 100u * input.Byte();
                sim.RunLoop(allowance, 256);
                break;
            case 5: {
                os::Message message;
                message.id = os::kWmClose;
                send(pickGate(input.Byte()).window, message);
                break;
            }
            case 6: {
                Gate gate = pickGate(input.Byte());
                os::Message message;
                message.id = os::kWmCopyData;
                message.wParam = gate.client;
                message.copyTag = input.Byte() % 2 == 0 ? 0 : gate.client;
                message.copySize = input.Word();
                message.copyData = nullptr;
                std::intptr_t result = send(gate.window, message);
                if (sim.windows.IsWindow(gate.window) && result != 56) {
                    fuzz::Fail("a block without data was answered %ld, not 56", static_cast<long>(result));
                }
                break;
            }
            default:
                switch (input.Byte() % 4) {
                    case 0:
                        printer.Insert(emu::Medium::Passbook);
                        break;
                    case 1:
                        printer.Insert(emu::Medium::Chit);
                        break;
                    case 2:
                        printer.Remove();
                        break;
                    default:
                        break;
                }
                break;
        }
        sim.clock.watch();
        active = false;
        if (frame->ExchangeRunning()) {
            fuzz::Fail("a printer exchange is still marked running after message kind %d", kind);
        }
    }
    // What the messages left posted runs before the driver goes, as the message loop would.
    started = sim.clock.Ticks();
    allowance = 0;
    kind = -1;
    active = true;
    sim.RunLoop(0, 256);
    active = false;
    frame.reset();
    return 0;
}
