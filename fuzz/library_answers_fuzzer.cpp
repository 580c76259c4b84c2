// Fuzz target: the printer library's answers at every call site of the library family (the open with
// binding, port choice, initialise and power check; paper in, stripe read and poll, stripe write,
// initialise, paper out, the client's reset 'S'), called on the link directly and through a gate's
// requests and the MSR advise timer.
//
// Input: byte 0: the library file in bits 0-1 (0, 1 complete, 2 missing, 3 an export missing), port
// 2 in the settings in bit 2, the operator's yes to the open's retry question in bit 3; byte 1: the
// missing export (% 18); byte 2: 1 + value % 12 steps, each a code % 13 in this order: OpenPrinter,
// PaperIn (kind byte), MsrRead, MsrPoll (capacity byte), MsrWrite (length, data), InitPrinter,
// PaperOut, requests 'S', 'I' (option byte), 'R', 'M' (length, data), 'O', and 'A', a second of the
// message loop, 'U'. Then the library's answers as its entry points are called: a signed result
// byte (0xFF: a 32-bit result follows), for ReadMsrw a 16-bit length (% 513) and the bytes it writes.
//
// Checks besides the sanitizers (guarded buffers): each entry point gets what the protocol says and
// the others are never called; each direct call, the open and each request answer what the protocol
// makes of the library's answers, the stripe text byte by byte; data handed in is kept; client
// records have their shape; each step ends within 200 ms per paper-in call plus its pauses and
// message loop. OpenPbpr, called until it answers 1, 9 or 16, answers 9 once the input is used up,
// and at the latest on call 64.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "gate/gate.h"

namespace {

using fuzz::Expect;

constexpr int kMaxPaperInCalls = 64;

// What the library's entry points were called with and answered, for the current input.
struct Calls {
    std::uint32_t lastPaperIn = 0;
    int paperIns = 0, lastPaperInAnswer = 0, commands = 0, expels = 0, powerChecks = 0, lastPowerAnswer = 0;
    int openAnswer = 0, reads = 0, readAnswer = 0, writes = 0, writeAnswer = 0;
    std::string readFill, lastWrite;
};
Calls gCalls;
fuzz::CInput* gAnswers = nullptr;
fuzz::CFuzzClock* gClock = nullptr;

int Answer() {
    std::uint8_t code = gAnswers->Byte();
    return code == 0xFF ? static_cast<int>(gAnswers->Dword()) : static_cast<std::int8_t>(code);
}

int LODEVAR_WINAPI OpenPbpr(int a, int b, int c, int d) {
    Expect(a == 12 && b == 5 && c == 1 && d == 160, "OpenPbpr was called with (%d, %d, %d, %d)", a, b, c, d);
    const std::uint32_t now = gClock->Ticks();
    Expect(now - gCalls.lastPaperIn >= timing::kPaperInPauseMs || gCalls.paperIns == 0,
           "OpenPbpr was called again after %u ms, before its pause had passed", now - gCalls.lastPaperIn);
    gCalls.lastPaperIn = now;
    ++gCalls.paperIns;
    return gCalls.lastPaperInAnswer = gAnswers->Empty() || gCalls.paperIns >= kMaxPaperInCalls ? 9 : Answer();
}
int LODEVAR_WINAPI WriteCommand(const char* text) {
    Expect(text != nullptr && std::strcmp(text, "\x1b\x30") == 0,
           "WriteCommand was given another text than ESC '0'");
    ++gCalls.commands;
    return Answer();
}
int LODEVAR_WINAPI SetPrtPortID(const char* text) {
    Expect(text != nullptr && std::strcmp(text, "COM2") == 0,
           "SetPrtPortID was given another port name than COM2");
    return Answer();
}
int LODEVAR_WINAPI OpenMsrw() {
    return gCalls.openAnswer = Answer();
}
int LODEVAR_WINAPI ReadMsrw(char* buffer) {
    Expect(std::count(buffer, buffer + kLibraryBufferBytes, '\0') == kLibraryBufferBytes,
           "ReadMsrw was handed a buffer that is not zero-filled");
    ++gCalls.reads;
    gCalls.readAnswer = Answer();
    gCalls.readFill = gAnswers->Bytes(gAnswers->Word() % (kLibraryBufferBytes + 1));
    std::memcpy(buffer, gCalls.readFill.data(), gCalls.readFill.size());
    return gCalls.readAnswer;
}
int LODEVAR_WINAPI WriteMsrw(const char* text) {
    std::size_t length = text != nullptr ? strnlen(text, kLibraryBufferBytes) : kLibraryBufferBytes;
    Expect(length < static_cast<std::size_t>(kLibraryBufferBytes) && text[0] == ':',
           "WriteMsrw was given no ':' text terminated within 512 bytes");
    gCalls.lastWrite.assign(text, length);
    ++gCalls.writes;
    return gCalls.writeAnswer = Answer();
}
int LODEVAR_WINAPI ExpelPaper() {
    ++gCalls.expels;
    return Answer();
}
int LODEVAR_WINAPI PrtIsPowerOn() {
    ++gCalls.powerChecks;
    return gCalls.lastPowerAnswer = Answer();
}
// What the driver makes of WriteMsrw's answer: 65 is success.
int WriteResult() {
    return gCalls.writeAnswer == 65 ? 1 : gCalls.writeAnswer;
}
// The library's 18 exports, less the one at `missing` (in the order of their names) unless it is -1:
// those above, and the others, which fail when called.
sim::CSimLibraryLoader::Exports LibraryExports(int missing) {
    auto proc = [](auto function) { return reinterpret_cast<os::Proc>(function); };
    sim::CSimLibraryLoader::Exports exports{
        {"OpenPbpr", proc(&OpenPbpr)},         {"WriteCommand", proc(&WriteCommand)},
        {"OpenMsrw", proc(&OpenMsrw)},         {"ReadMsrw", proc(&ReadMsrw)},
        {"WriteMsrw", proc(&WriteMsrw)},       {"ExpelPaper", proc(&ExpelPaper)},
        {"SetPrtPortID", proc(&SetPrtPortID)}, {"PrtIsPowerOn", proc(&PrtIsPowerOn)}};
#define LODEVAR_NEVER_CALLED(name, type)                                                             \
    exports.emplace(#name, proc(static_cast<type>([](auto...) -> int {                               \
                        Expect(false, "the driver called " #name ", an entry point it never calls"); \
                        return 0;                                                                    \
                    })));
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_NEVER_CALLED)
#undef LODEVAR_NEVER_CALLED
    if (missing >= 0) {
        exports.erase(std::next(exports.begin(), missing % static_cast<int>(exports.size())));
    }
    return exports;
}

// An immediate request of `letter` to a gate, from a guarded block of at least 89 bytes; its result.
std::intptr_t Request(fuzz::CFuzzPlatform& sim, os::Window gate, os::Window client, char letter,
                      char option = '0', const std::string& data = "") {
    char header[10];
    std::snprintf(header, sizeof(header), "%c0000%c%03d", letter, option,
                  static_cast<int>(data.size() % 1000));
    fuzz::CGuarded block(89, '\0', std::string(header, 9) + data);
    return sim.CopyData(gate, client, 0, block.Data(), static_cast<std::uint32_t>(block.Size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CInput input(data, size);
    const std::uint8_t setup = input.Byte();  // the declarators are read in order
    const int missing = input.Byte() % 18, stepCount = 1 + input.Byte() % 12;
    struct Step {
        int code = 0, argument = 0;
        std::string data{};
    };
    std::vector<Step> steps;
    for (int i = 0; i < stepCount && !input.Empty(); ++i) {
        Step& step = steps.emplace_back(Step{input.Byte() % 13});
        const int c = step.code;
        step.argument = c == 1 || c == 2 || c == 3 || c == 8 ? input.Byte() : 0;
        // The data is a text: it ends at its first zero.
        step.data = c == 4 || c == 10 ? input.Bytes(input.Byte()).c_str() : "";
    }

    fuzz::CFuzzPlatform sim;
    gCalls = Calls{.lastPaperIn = sim.clock.Ticks()};
    gAnswers = &input;
    gClock = &sim.clock;
    const int libraryKind = setup & 0x03;
    if (libraryKind != 2) {
        sim.library.Register("C:\\Lodevar\\VSK_ALL.dll", LibraryExports(libraryKind == 3 ? missing : -1));
    }
    sim.system.SetProfileValue(fuzz::kIni, "Lodevar", "MODEL", "2");
    sim.system.SetProfileValue(fuzz::kIni, "Lodevar", "PORT", (setup & 0x04) != 0 ? "2" : "1");
    sim.desktop.defaultQuestionAnswer = (setup & 0x08) != 0 ? os::kIdOk : os::kIdCancel;
    sim.system.CreateNamedEvent(kWaitEventName);

    fuzz::CClientWindow clientProc;
    os::Window client = sim.windows.CreateClientWindow(clientProc);
    auto frame = sim.StartDriver();
    CComm& comm = frame->Comm();
    comm.m_nFamily = 2;  // the library family, also for the calls made before any open
    os::Window gate = sim.Register(frame->Window(), client);
    Expect(gate != 0, "the client's registration gave no gate");

    std::uint32_t allowanceMs = 0;
    int stepCode = 0;
    Calls before;  // as the step under way found them
    sim.clock.watch = [&] {
        auto calls = static_cast<std::uint32_t>(gCalls.paperIns - before.paperIns);
        Expect(sim.clock.Elapsed() <= timing::kPaperInPauseMs * (calls + 1) + allowanceMs,
               "step %d runs for %u ms after %u paper-in calls and %u ms of pauses and message loop",
               stepCode, sim.clock.Elapsed(), calls, allowanceMs);
    };

    for (const Step& step : steps) {
        const bool loaded = comm.m_bLibLoaded != 0;
        Expect(loaded == (comm.m_hPrinterLib != 0), "m_bLibLoaded and the library handle disagree");
        Expect(!loaded || libraryKind <= 1, "a library without all 18 entry points is loaded");
        stepCode = step.code;
        allowanceMs = 0;
        before = gCalls;
        sim.clock.Begin();
        switch (step.code) {
            case 0: {
                // A failed first attempt falls back to the other port, so port 2 (SetPrtPortID) can
                // come up whatever the settings say. The open succeeds when an attempt finds the whole
                // library and the printer on.
                int result = frame->OpenPrinter(0);
                const bool on = gCalls.powerChecks > before.powerChecks && gCalls.lastPowerAnswer == 1;
                Expect(result == (on ? 1 : 242), "the open answered %d, not %d", result, on ? 1 : 242);
                Expect(result != 1 || comm.m_bLibLoaded == 1, "the open succeeded without the library bound");
                break;
            }
            case 1: {
                int result = 0;
                {
                    // As every request runs it: a device lost in the exchange is closed at its end.
                    CExchange exchange(*frame);
                    result = comm.PaperIn(step.argument % 3);
                }
                const int calls = gCalls.paperIns - before.paperIns, last = gCalls.lastPaperInAnswer;
                Expect(!loaded || (calls >= 1 && calls <= kMaxPaperInCalls),
                       "%d paper-in calls in one paper-in", calls);
                // A paper-in ends on 1, 16 or 9, or when the library says, at one of its power checks
                // after every so many calls that did not settle, that the printer is off.
                const bool settled = last == 1 || last == 9 || last == 16;
                const int every = timing::kPaperInCallsPerPowerCheck;
                const int checks = gCalls.powerChecks - before.powerChecks;
                Expect(!loaded || settled || (calls % every == 0 && gCalls.lastPowerAnswer != 1),
                       "the paper-in ended on the answer %d after %d calls", last, calls);
                Expect(!loaded || checks == (calls - 1) / every + (settled ? 0 : 1),
                       "%d power checks in %d paper-in calls", checks, calls);
                Expect(!loaded || settled || comm.LinkLost(),
                       "a paper-in ended by the power check left the link up");
                int expected = loaded && last != 9 && settled ? 1 : 0;
                Expect(result == expected, "PaperIn answered %d, not %d", result, expected);
                Expect(sim.clock.Elapsed() == timing::kPaperInPauseMs * static_cast<std::uint32_t>(calls),
                       "PaperIn took %u ms for %d calls", sim.clock.Elapsed(), calls);
                break;
            }
            case 2:
            case 3: {
                fuzz::CGuarded buffer(static_cast<std::size_t>(step.argument), '\x5a');
                auto capacity = static_cast<int>(buffer.Size());
                int result = step.code == 2 ? comm.MsrRead(buffer.Data(), capacity)
                                            : comm.MsrPoll(buffer.Data(), capacity);
                std::string text =
                    gCalls.readFill.substr(0, strnlen(gCalls.readFill.c_str(), kLibraryBufferBytes - 1));
                bool read = loaded && gCalls.openAnswer == 1 && gCalls.reads > before.reads;
                int expected = read && gCalls.readAnswer == 1 && !text.empty() && capacity > 0 ? 1 : 0;
                Expect(result == expected, "the stripe read answered %d, not %d", result, expected);
                std::string kept =
                    expected == 1 ? text.substr(1, static_cast<std::size_t>(capacity - 1)) : "";
                Expect(expected == 0 || std::memcmp(buffer.Data(), kept.c_str(), kept.size() + 1) == 0,
                       "the stripe read handed on other bytes than the library's text after its first");
                break;
            }
            case 4: {
                fuzz::CGuarded text(step.data.size() + 1, '\0', step.data);
                int result = comm.MsrWrite(text.Data());
                Expect(std::strcmp(text.Data(), step.data.c_str()) == 0, "MsrWrite changed its data");
                Expect(!loaded || gCalls.writes == before.writes + 1, "MsrWrite did not call WriteMsrw once");
                Expect(!loaded || gCalls.lastWrite == (":" + step.data).substr(0, kLibraryBufferBytes - 1),
                       "WriteMsrw got other text");
                int expected = loaded ? WriteResult() : 0;
                Expect(result == expected, "MsrWrite answered %d, not %d", result, expected);
                break;
            }
            case 5:
            case 7: {
                // The initialise, directly (with its pause after the command) or as the client's reset.
                allowanceMs = step.code == 5 ? timing::kInitialisePauseMs : 0;
                long result = step.code == 5 ? comm.InitPrinter() : Request(sim, gate, client, 'S');
                Expect(result == (step.code == 5 ? 242 : 1), "step %d answered %ld", step.code, result);
                Expect(gCalls.commands == before.commands + (loaded ? 1 : 0), "step %d sent %d commands",
                       step.code, gCalls.commands - before.commands);
                break;
            }
            case 6:
                Expect(comm.PaperOut() == 1, "PaperOut did not answer 1");
                Expect(gCalls.expels == before.expels + (loaded ? 1 : 0),
                       "PaperOut called ExpelPaper %d times", gCalls.expels - before.expels);
                break;
            case 8:
            case 9:
            case 10:
            case 11: {
                const char letter = "IRMO"[step.code - 8];
                std::intptr_t result =
                    Request(sim, gate, client, letter, static_cast<char>(step.argument), step.data);
                // A request reaches the library only with the device open (opened on demand, maybe
                // in the request); otherwise it answers 242. Then: 'I' as the paper-in's last answer
                // (9 is 0) or 242 when the power check found the printer off; 'R' 1 for a text read,
                // else 0; 'M' what WriteMsrw answered (65 as 1), but a length of 0 answers 113 and
                // one beyond 127 is refused (18) before anything is done; 'O' 1.
                const int calls = gCalls.paperIns - before.paperIns, last = gCalls.lastPaperInAnswer;
                const std::size_t length = step.data.size();
                long expected = 242;
                if (letter == 'I' && calls > 0) {
                    expected = last == 1 || last == 16 ? 1 : last == 9 ? 0 : 242;
                } else if (letter == 'R' && comm.m_bOpen != 0) {
                    expected =
                        gCalls.reads > before.reads && gCalls.readAnswer == 1 && gCalls.readFill[0] != '\0';
                } else if (letter == 'M') {
                    expected = length > 127                    ? 18
                               : length == 0                   ? 113
                               : gCalls.writes > before.writes ? WriteResult()
                                                               : 242;
                } else if (letter == 'O' && gCalls.expels > before.expels) {
                    expected = 1;
                }
                Expect(result == expected, "request '%c' answered %ld, not %ld", letter,
                       static_cast<long>(result), expected);
                break;
            }
            default:
                Request(sim, gate, client, 'A');
                allowanceMs = 1100;
                sim.RunLoop(allowanceMs);
                Request(sim, gate, client, 'U');
                break;
        }
        sim.clock.End();
    }
    gAnswers = nullptr;
    return 0;
}
