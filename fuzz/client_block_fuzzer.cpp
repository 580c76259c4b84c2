// Fuzz target: blocks of any size and content sent by WM_COPYDATA to a gate, immediate (tag 0) or
// queued, through the parser and every request handler against an emulated printer; registration,
// release, shut-down and other tags to the main window; gates closed; the MSR advise timer ticking.
//
// Input: byte 0: family in bit 0, MODEL in bits 1-2 ("0", "1", none, "2"), the clients' wait event
// in bit 3, the operator's yes to the close and the open's retry question in bits 4 and 5, TRACE in
// bit 6, CTS off in bit 7; byte 1: medium at start in bits 0-1 (none, passbook, chit), stripe in
// bits 2-3 (data, unformatted, none), in bits 4-7 a fault of kFaults or 9, the printer on COM2;
// byte 2: the fault's parameter; bytes 3, 4: the operator puts in byte 4 % 3 (passbook, chit, none)
// at byte 3 x 100 ms (0: never). Then up to 48 messages, each a kind % 8 and its fields (gates by a
// byte, sizes 16 bits): 0 an immediate request (gate, size % 700, block); 1 a queued one (gate, tag
// % 4: the client, no window, 32 bits, main window; size % 700, block); 2 to the main window (tag: 1
// register, 2 release, 3 shut down; sender: a client % 3, none from 0xF0; notice window % 4: sender,
// a gate, main window, 16 bits); 3 the loop dispatches what is due, 4 runs byte x 100 ms; 5 WM_CLOSE
// to a gate; 6 a block without data (gate, tag byte, size); 7 the operator (% 4: puts in a passbook,
// a chit, takes the medium out, nothing).
//
// Besides the sanitizers and the checks below, each message ends within kPatienceMs, after which the
// operator holds Escape, and some quiet-printer status queries.
#include <algorithm>
#include <string>
#include <vector>

#include "emu/control.h"
#include "fuzz/harness.h"
#include "gate/gate.h"
#include "gate/request.h"

namespace {

using fuzz::Expect;
namespace protocol = fuzz::protocol;
using emu::Medium;

constexpr std::uint32_t kPatienceMs = 3000;
constexpr int kMaxMessages = 48;
constexpr std::size_t kMaxBlockBytes = 700;
constexpr os::Window kNoWindow = 0xDEAD0;
// Once Escape is held, a request ends within this many quiet status queries (one under way, one in
// an eject, one in the next pass of the outer wait, and those of the steps of a print after it).
constexpr std::uint32_t kQueriesAfterEscape = 12;
constexpr std::uint32_t kAfterEscapeMs =
    kQueriesAfterEscape * std::max(protocol::kQuietQueryA, protocol::kQuietQueryB) + protocol::kQuietExtras;

// The faults of byte 1's bits 4-7, with the fault's parameter.
using Fault = void (*)(emu::CPrinterEmulator&, std::uint8_t);
constexpr Fault kFaults[] = {
    [](emu::CPrinterEmulator&, std::uint8_t) {},
    [](emu::CPrinterEmulator& printer, std::uint8_t) { printer.SetSilent(true); },
    [](emu::CPrinterEmulator& printer, std::uint8_t) { printer.SetGarbage(true); },
    [](emu::CPrinterEmulator& printer, std::uint8_t p) { printer.CutFrames(1 + p % 8); },
    [](emu::CPrinterEmulator& printer, std::uint8_t p) { printer.SetSlowFrames(p); },
    [](emu::CPrinterEmulator& printer, std::uint8_t) { printer.Jam(); },
    [](emu::CPrinterEmulator& printer, std::uint8_t p) { printer.ForceStatus(p); },
    // Never 0 (a 5-byte frame takes 5 ms at 9600 baud): with instant answers the family 0 stripe
    // read, a loop without a pause of its own, would run with the virtual clock standing still.
    [](emu::CPrinterEmulator& printer, std::uint8_t p) { printer.SetAnswerDelay(std::max(5u, p * 10u)); },
    [](emu::CPrinterEmulator& printer, std::uint8_t p) { printer.SetStatusFramesBeforeStripe(p % 4, p); },
};

// Control lines for the emulator: the stripe at start, what the operator does.
constexpr const char* kStripes[] = {"", "unformatted", "nostripe", ""};
constexpr const char* kOperator[] = {"insert passbook", "insert chit", "remove", ""};

struct Gate {
    os::Window window = 0, client = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CInput input(data, size);
    // The declarators are read in order.
    const std::uint8_t setup = input.Byte(), media = input.Byte(), parameter = input.Byte(),
                       insertAt = input.Byte(), inserted = input.Byte();

    emu::CPrinterEmulator printer(setup & 0x01);
    fuzz::CFuzzPlatform sim;
    // At 9600 baud a printer answers in about 20 ms (the answer-delay fault chooses another delay):
    // loops without a pause of their own then make a pass per answer, not one every 2 ms.
    printer.SetAnswerDelay(20);
    const Medium kMedia[] = {Medium::None, Medium::Passbook, Medium::Chit, Medium::None};
    printer.Insert(kMedia[media % 3]);
    emu::RunControlLine(printer, kStripes[(media >> 2) % 4], 0);
    if ((media >> 4) < std::size(kFaults)) {
        kFaults[media >> 4](printer, parameter);
    }
    // The forced status and the progress frames before the stripe report the parameter as a code.
    const bool forced = (media >> 4) == 6 || (media >> 4) == 8;
    printer.SetCts((setup & 0x80) == 0);
    if (insertAt != 0) {
        printer.InsertAt(kMedia[1 + inserted % 3], sim.clock.Ticks() + 100u * insertAt);
    }
    sim.serial.Attach((media >> 4) == 9 ? "COM2" : "COM1", &printer);

    const char* const kModels[] = {"0", "1", nullptr, "2"};
    if (const char* model = kModels[(setup >> 1) & 0x03]) {
        sim.system.SetProfileValue(fuzz::kIni, "Lodevar", "MODEL", model);
    }
    sim.system.SetProfileValue(fuzz::kIni, "Lodevar", "TRACE", (setup & 0x40) != 0 ? "1" : "0");
    if ((setup & 0x08) != 0) {
        sim.system.CreateNamedEvent(kWaitEventName);
    }
    sim.desktop.defaultYesNo = (setup & 0x10) != 0;
    sim.desktop.defaultQuestionAnswer = (setup & 0x20) != 0 ? os::kIdOk : os::kIdCancel;

    // The client windows outlive the driver, which may still send them records as it goes.
    fuzz::CClientWindow clientProcs[3];
    const os::Window clients[] = {sim.windows.CreateClientWindow(clientProcs[0]),
                                  sim.windows.CreateClientWindow(clientProcs[1]),
                                  sim.windows.CreateClientWindow(clientProcs[2])};
    auto frame = sim.StartDriver();
    const os::Window main = frame->Window();
    std::vector<Gate> gates{Gate{sim.Register(main, clients[0]), clients[0]}};

    // The bound of the message under way, and the operator's Escape.
    std::uint32_t allowance = 0;
    int kind = 0;
    sim.clock.watch = [&] {
        const std::uint32_t bound = allowance + kPatienceMs + kAfterEscapeMs;
        Expect(sim.clock.Elapsed() <= bound, "message kind %d runs past its %u ms", kind, bound);
    };
    sim.pump.escapeHeld = [&] { return sim.clock.active && sim.clock.Elapsed() > allowance + kPatienceMs; };

    auto pickGate = [&](std::uint8_t choice) {
        return gates.empty() || choice == 0xFF ? Gate{kNoWindow, clients[0]} : gates[choice % gates.size()];
    };

    for (int count = 0; count < kMaxMessages && !input.Empty(); ++count) {
        kind = input.Byte() % 8;
        allowance = 0;
        sim.clock.Begin();
        switch (kind) {
            case 0:
            case 1: {
                Gate gate = pickGate(input.Byte());
                const bool open = sim.windows.IsWindow(gate.window);
                std::uintptr_t tag = 0;
                if (kind == 1) {
                    const int choice = input.Byte() % 4;
                    const std::uintptr_t kTags[] = {gate.client, kNoWindow, 0, main};
                    tag = choice == 2 ? input.Word(4) : kTags[choice];
                    tag = tag == 0 ? 1 : tag;  // tag 0 would be an immediate request
                }
                const std::string bytes = input.Bytes(input.Word() % kMaxBlockBytes);
                const auto block = fuzz::Guarded(bytes.size(), '\0', bytes);
                std::intptr_t result = sim.CopyData(gate.window, gate.client, tag, block.get(),
                                                    static_cast<std::uint32_t>(bytes.size()));
                const bool readReply = kind == 0 && !bytes.empty() && bytes[0] == 'R';
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    Expect(block[i] == bytes[i] || (readReply && i >= 6 && i < 89),
                           "message kind %d of %zu bytes changed its block at %zu", kind, bytes.size(), i);
                }
                // At an open gate: a queued block is taken when it holds a whole record, else refused
                // (56); an immediate block shorter than its fixed fields is refused (56), any other
                // answers 1, 0, a code of the status table, or the code the printer was made to report.
                const bool expected = kind == 1 ? result == (bytes.size() >= kQueuedRequestBytes ? 1 : 56)
                                      : bytes.size() < gate::kHeaderBytes
                                          ? result == status::ERR_COMMAND
                                          : fuzz::Documented(result) || result == status::NOTHING_DONE ||
                                                (forced && result == parameter);
                Expect(!open || expected, "message kind %d of %zu bytes answered %ld", kind, bytes.size(),
                       static_cast<long>(result));
                break;
            }
            case 2: {
                const std::uint8_t tag = input.Byte(), who = input.Byte();
                os::Window sender = who < 0xF0 ? clients[who % 3] : who;
                const int choice = input.Byte() % 4;
                const os::Window kNotices[] = {sender, pickGate(0).window, main};
                os::Window notice = choice == 3 ? input.Word() : kNotices[choice];
                std::intptr_t result =
                    sim.CopyData(main, sender, tag, nullptr, static_cast<std::uint32_t>(notice));
                if (tag == GATE_REGISTER && result != 0) {
                    Expect(sim.windows.IsWindow(static_cast<os::Window>(result)),
                           "a registration answered %ld, which is no window", static_cast<long>(result));
                    gates.push_back(Gate{static_cast<os::Window>(result), sender});
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
            case 5:
                sim.windows.Send(pickGate(input.Byte()).window, os::Message{.id = os::kWmClose});
                break;
            case 6: {
                Gate gate = pickGate(input.Byte());
                std::uintptr_t tag = input.Byte() % 2 == 0 ? 0 : gate.client;
                std::intptr_t result = sim.CopyData(gate.window, gate.client, tag, nullptr, input.Word());
                Expect(!sim.windows.IsWindow(gate.window) || result == 56,
                       "a block without data was answered %ld, not 56", static_cast<long>(result));
                break;
            }
            default:  // the operator
                emu::RunControlLine(printer, kOperator[input.Byte() % 4], sim.clock.Ticks());
                break;
        }
        sim.clock.End();
        Expect(!frame->ExchangeRunning(), "a printer exchange still runs after message kind %d", kind);
    }
    // What the messages left posted runs before the driver goes, as the message loop would.
    allowance = 0;
    kind = -1;
    sim.clock.Begin();
    sim.RunLoop(0, 256);
    sim.clock.active = false;
    return 0;
}
