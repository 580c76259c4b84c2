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
// Besides the sanitizers and the checks below, each step ends within 200 ms per paper-in call plus its
// pauses and message loop. What each answer gives, and the entry points' fixed arguments, are pinned
// by the unit tests. OpenPbpr, called until it answers 1, 9 or 16, answers 9 once the input is used
// up, and at the latest on call 64.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/harness.h"
#include "gate/gate.h"

namespace {

using fuzz::Expect;

constexpr int kMaxPaperInCalls = 64;

int gPaperIns = 0;
fuzz::CInput* gAnswers = nullptr;

int Answer() {
    std::uint8_t code = gAnswers->Byte();
    return code == 0xFF ? static_cast<int>(gAnswers->Word(4)) : static_cast<std::int8_t>(code);
}

int LODEVAR_WINAPI OpenPbpr(int, int, int, int) {
    ++gPaperIns;
    return gAnswers->Empty() || gPaperIns >= kMaxPaperInCalls ? 9 : Answer();
}
int LODEVAR_WINAPI Answered() {
    return Answer();
}
int LODEVAR_WINAPI AnsweredText(const char*) {
    return Answer();
}
int LODEVAR_WINAPI ReadMsrw(char* buffer) {
    Expect(std::count(buffer, buffer + kLibraryBufferBytes, '\0') == kLibraryBufferBytes,
           "ReadMsrw was handed a buffer that is not zero-filled");
    const int answer = Answer();
    const std::string fill = gAnswers->Bytes(gAnswers->Word() % (kLibraryBufferBytes + 1));
    std::memcpy(buffer, fill.data(), fill.size());
    return answer;
}
int LODEVAR_WINAPI WriteMsrw(const char* text) {
    Expect(text != nullptr && strnlen(text, kLibraryBufferBytes) < kLibraryBufferBytes && text[0] == ':',
           "WriteMsrw was given no ':' text terminated within 512 bytes");
    return Answer();
}
// The library's 18 exports, less the one at `missing` (in the order of their names) unless it is -1:
// those above, and the others, which fail when called.
sim::CSimLibraryLoader::Exports LibraryExports(int missing) {
    auto proc = [](auto function) { return reinterpret_cast<os::Proc>(function); };
    sim::CSimLibraryLoader::Exports exports{
        {"OpenPbpr", proc(&OpenPbpr)},         {"WriteCommand", proc(&AnsweredText)},
        {"OpenMsrw", proc(&Answered)},         {"ReadMsrw", proc(&ReadMsrw)},
        {"WriteMsrw", proc(&WriteMsrw)},       {"ExpelPaper", proc(&Answered)},
        {"SetPrtPortID", proc(&AnsweredText)}, {"PrtIsPowerOn", proc(&Answered)}};
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
    const std::size_t size = std::max<std::size_t>(89, 9 + data.size());
    return sim.CopyData(gate, client, 0, fuzz::Guarded(size, '\0', std::string(header, 9) + data).get(),
                        static_cast<std::uint32_t>(size));
}

// The fields of each step's code in the input (see the top).
constexpr const char* kFields[] = {"", "b", "b", "b", "t", "", "", "", "b", "", "t", "", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::CInput input(data, size);
    const std::uint8_t setup = input.Byte();  // the declarators are read in order
    const int missing = input.Byte() % 18;
    const std::vector<fuzz::Step> steps = fuzz::ReadSteps(input, 1 + input.Byte() % 12, kFields);

    fuzz::CFuzzPlatform sim;
    gPaperIns = 0;
    gAnswers = &input;
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
    int stepCode = 0, paperInsBefore = 0;
    sim.clock.watch = [&] {
        auto calls = static_cast<std::uint32_t>(gPaperIns - paperInsBefore);
        const std::uint32_t bound = timing::kPaperInPauseMs * (calls + 1) + allowanceMs;
        Expect(sim.clock.Elapsed() <= bound, "step %d runs past its %u ms", stepCode, bound);
    };

    for (const fuzz::Step& step : steps) {
        stepCode = step.code;
        allowanceMs = 0;
        paperInsBefore = gPaperIns;
        const int argument = step.arguments[0];
        const std::string given = step.text.c_str();  // a text: it ends at its first zero
        const auto buffer = fuzz::Guarded(static_cast<std::size_t>(argument), '\x5a');
        const auto text = fuzz::Guarded(given.size() + 1, '\0', given);
        sim.clock.Begin();
        std::intptr_t result = 1;
        if (step.code == 0) {
            result = frame->OpenPrinter(0);
        } else if (step.code == 1) {
            // As every request runs it: a device lost in the exchange is closed at its end.
            CExchange exchange(*frame);
            result = comm.PaperIn(argument % 3);
        } else if (step.code == 2 || step.code == 3) {
            result =
                step.code == 2 ? comm.MsrRead(buffer.get(), argument) : comm.MsrPoll(buffer.get(), argument);
            Expect(
                result != 1 || std::memchr(buffer.get(), '\0', static_cast<std::size_t>(argument)) != nullptr,
                "a stripe read left an unterminated text in its %d-byte buffer", argument);
        } else if (step.code == 4) {
            result = comm.MsrWrite(text.get());
            Expect(given == text.get(), "MsrWrite changed its data");
        } else if (step.code == 5) {
            allowanceMs = timing::kInitialisePauseMs;  // the pause after the command
            result = comm.InitPrinter();
        } else if (step.code == 6) {
            result = comm.PaperOut();
        } else if (step.code < 12) {
            result = Request(sim, gate, client, "SIRMO"[step.code - 7], static_cast<char>(argument), given);
        } else {
            Request(sim, gate, client, 'A');
            allowanceMs = 1100;
            sim.RunLoop(allowanceMs);
            Request(sim, gate, client, 'U');
        }
        // A stripe write ('M' too) answers what the library's WriteMsrw answered, whatever it is.
        Expect(fuzz::Documented(result) || result == 0 || step.code == 4 || step.code == 10,
               "step %d answered %ld, neither 0, 1 nor a status code", step.code, static_cast<long>(result));
        sim.clock.End();
    }
    gAnswers = nullptr;
    return 0;
}
