// Fuzz target: the printer library's answers at every call site of the library family (the open with
// binding, port choice, initialise and power check; paper in, stripe read and poll, stripe write,
// initialise, paper out, the client's reset 'S'), called on the link directly and reached through a
// gate's requests and the MSR advise timer.
//
// Input:
//   byte 0    bits 0-1: the library file: 0 or 1 complete, 2 missing, 3 one export missing; bit 2:
//             the settings name port 2; bit 3: the operator answers the open's retry question yes
//   byte 1    which export is missing (% 18), for bits 0-1 = 3
//   byte 2    number of steps (1 + value % 12), then each step, code % 13: 0 OpenPrinter, 1 PaperIn
//             (kind byte), 2 MsrRead and 3 MsrPoll (capacity byte), 4 MsrWrite (length, data),
//             5 InitPrinter, 6 PaperOut, 7 request 'S', 8 'I' (option byte), 9 'R', 10 'M' (length,
//             data), 11 'O', 12 'A', a second of the message loop (the advise timer polls), 'U'
//   the rest  the library's answers as its entry points are called: a signed result byte (0xFF: a
//             32-bit result follows), and for ReadMsrw a 16-bit length (% 513) and that many bytes
//             written into the driver's 512-byte buffer
//
// Checks besides the sanitizers (buffers have poisoned guard bytes): each entry point gets what the
// protocol says (OpenPbpr (12, 5, 1, 160) after a 200 ms pause each, WriteCommand ESC '0',
// SetPrtPortID "COM2", ReadMsrw a zero-filled buffer, WriteMsrw ':' and the data), the others are
// never called; each direct call answers what the protocol makes of the library's answers, the
// stripe text compared byte by byte; the data handed in is not changed; client records have their
// shape; every step ends within 200 ms per paper-in call plus its pauses and message loop.
// OpenPbpr is called until it answers 1, 9 or 16: here it answers 9 once the input is used up, and
// at the latest on the 64th call.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "gate/gate.h"

namespace {

using fuzz::Expect;

constexpr int kMaxPaperInCalls = 64;
constexpr int kLibraryBufferBytes = 512;

// What the library's entry points were called with and answered, for the current input.
struct Calls {
    std::uint32_t lastPaperIn = 0;
    int paperIns = 0, lastPaperInAnswer = 0, commands = 0, expels = 0;
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
    Expect(now - gCalls.lastPaperIn >= 200 || gCalls.paperIns == 0,
           "OpenPbpr was called again after %u ms, not after a 200 ms pause", now - gCalls.lastPaperIn);
    gCalls.lastPaperIn = now;
    ++gCalls.paperIns;
    gCalls.lastPaperInAnswer = gAnswers->Empty() || gCalls.paperIns >= kMaxPaperInCalls ? 9 : Answer();
    return gCalls.lastPaperInAnswer;
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
    return Answer();
}
// What the driver makes of WriteMsrw's answer: 65 is success.
int WriteResult() {
    return gCalls.writeAnswer == 65 ? 1 : gCalls.writeAnswer;
}
[[noreturn]] void NeverCalled(const char* name) {
    fuzz::Fail("the driver called %s, an entry point it never calls", name);
}

// The library's 18 exports, less the one at `missing` (in the order of their names) unless it is -1.
sim::CSimLibraryLoader::Exports LibraryExports(int missing) {
    auto proc = [](auto function) { return reinterpret_cast<os::Proc>(function); };
    sim::CSimLibraryLoader::Exports exports{
        {"OpenPbpr", proc(&OpenPbpr)},
        {"WriteCommand", proc(&WriteCommand)},
        {"OpenMsrw", proc(&OpenMsrw)},
        {"ReadMsrw", proc(&ReadMsrw)},
        {"WriteMsrw", proc(&WriteMsrw)},
        {"ExpelPaper", proc(&ExpelPaper)},
        {"SetPrtPortID", proc(&SetPrtPortID)},
        {"PrtIsPowerOn", proc(&PrtIsPowerOn)},
        {"WriteOnlineCommand", proc(+[](const char*) -> int { NeverCalled("WriteOnlineCommand"); })},
        {"PrintPbprData", proc(+[](const char*) -> int { NeverCalled("PrintPbprData"); })},
        {"GetPrtPortID", proc(+[](char*) -> int { NeverCalled("GetPrtPortID"); })},
        {"InitPrinterEnv", proc(+[]() -> int { NeverCalled("InitPrinterEnv"); })},
        {"CheckPrtSelfID", proc(+[]() -> int { NeverCalled("CheckPrtSelfID"); })},
        {"OpenComm", proc(+[]() -> int { NeverCalled("OpenComm"); })},
        {"PrinterInit", proc(+[]() -> int { NeverCalled("PrinterInit"); })},
        {"CloseComm", proc(+[]() -> int { NeverCalled("CloseComm"); })},
        {"EjectPaper", proc(+[]() -> int { NeverCalled("EjectPaper"); })},
        {"FilePrinting", proc(+[](const char*) -> int { NeverCalled("FilePrinting"); })},
    };
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
    const std::uint8_t setup = input.Byte();
    const int missing = input.Byte() % 18;
    const int stepCount = 1 + input.Byte() % 12;
    struct Step {
        int code = 0;
        int argument = 0;
        std::string data;
    };
    std::vector<Step> steps;
    for (int i = 0; i < stepCount && !input.Empty(); ++i) {
        Step step{input.Byte() % 13, 0, {}};
        if (step.code == 1 || step.code == 2 || step.code == 3 || step.code == 8) {
            step.argument = input.Byte();
        } else if (step.code == 4 || step.code == 10) {
            step.data = input.Bytes(input.Byte()).c_str();  // the data is a text: it ends at its first zero
        }
        steps.push_back(step);
    }

    fuzz::CFuzzPlatform sim;
    gCalls = Calls{};
    gAnswers = &input;
    gClock = &sim.clock;
    gCalls.lastPaperIn = sim.clock.Ticks();
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
    CComm& comm = frame->m_comm;
    comm.m_nFamily = 2;  // the library family, also for the calls made before any open
    os::Window gate = sim.Register(frame->m_hWnd, client);
    Expect(gate != 0, "the client's registration gave no gate");

    std::uint32_t allowanceMs = 0;
    int stepCode = 0;
    Calls before;  // as the step under way found them
    sim.clock.watch = [&] {
        auto calls = static_cast<std::uint32_t>(gCalls.paperIns - before.paperIns);
        Expect(sim.clock.Elapsed() <= 200 * (calls + 1) + allowanceMs,
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
                // come up whatever the settings say.
                int result = frame->OpenPrinter(0);
                Expect(result == 1 || result == 242, "the open answered %d", result);
                Expect(result != 1 || comm.m_bLibLoaded == 1, "the open succeeded without the library bound");
                break;
            }
            case 1: {
                int result = comm.PaperIn(step.argument % 3);
                int calls = gCalls.paperIns - before.paperIns;
                int last = gCalls.lastPaperInAnswer;
                Expect(!loaded || (calls >= 1 && calls <= kMaxPaperInCalls),
                       "%d paper-in calls in one paper-in", calls);
                Expect(!loaded || last == 1 || last == 9 || last == 16, "the paper-in ended on the answer %d",
                       last);
                int expected = loaded && last != 9 ? 1 : 0;
                Expect(result == expected, "PaperIn answered %d, not %d", result, expected);
                Expect(sim.clock.Elapsed() == 200u * static_cast<std::uint32_t>(calls),
                       "PaperIn took %u ms for %d calls", sim.clock.Elapsed(), calls);
                break;
            }
            case 2:
            case 3: {
                fuzz::CGuarded buffer(static_cast<std::size_t>(step.argument), '\x5a');
                auto capacity = static_cast<int>(buffer.Size());
                int result = step.code == 2 ? comm.MsrRead(buffer.Data(), capacity)
                                            : comm.MsrPoll(buffer.Data(), capacity);
                std::string text = gCalls.readFill.substr(0, strnlen(gCalls.readFill.c_str(), 511));
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
                Expect(!loaded || gCalls.lastWrite == (":" + step.data).substr(0, 511),
                       "WriteMsrw got other text");
                int expected = loaded ? WriteResult() : 0;
                Expect(result == expected, "MsrWrite answered %d, not %d", result, expected);
                break;
            }
            case 5:
            case 7: {
                // The initialise, directly (with its pause after the command) or as the client's reset.
                allowanceMs = step.code == 5 ? 500 : 0;
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
                const char letters[] = {'I', 'R', 'M', 'O'};
                std::intptr_t result = Request(sim, gate, client, letters[step.code - 8],
                                               static_cast<char>(step.argument), step.data);
                // 'M' hands on whatever WriteMsrw answered (65 as 1); the others answer status codes.
                if (step.code == 10 && gCalls.writes > before.writes) {
                    Expect(result == WriteResult(), "request 'M' answered %ld, not %d",
                           static_cast<long>(result), WriteResult());
                } else {
                    Expect(result >= -1 && result <= 255, "a request answered %ld",
                           static_cast<long>(result));
                }
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
