// Fuzz target: the printer library's answers at every call site of the library family: the device
// open (binding, port choice, initialise, power check), paper in, stripe read and poll, stripe
// write, initialise, paper out, and the client's reset ('S'), both called on the link directly and
// reached through a gate's requests and the MSR advise timer.
//
// Input:
//   byte 0          bits 0-1: the library file: 0 or 1 complete, 2 missing, 3 one export missing
//                   bit 2: the settings name port 2 (an open on port 2 calls SetPrtPortID)
//                   bit 3: the operator answers the open's retry question with yes
//   byte 1          which export is missing (% 18), for bits 0-1 = 3
//   byte 2          number of steps (1 + value % 12), then each step:
//                     code % 13: 0 open (OpenPrinter), 1 PaperIn (kind byte), 2 MsrRead and 3 MsrPoll
//                     (capacity byte), 4 MsrWrite (length, data), 5 InitPrinter, 6 PaperOut,
//                     7 request 'S', 8 request 'I' (option byte), 9 request 'R', 10 request 'M'
//                     (length, data), 11 request 'O', 12 request 'A', a second of the message loop
//                     (the MSR advise timer polls), request 'U'
//   the rest        the library's answers, taken as its entry points are called: a result byte
//                   (a signed byte; 0xFF is followed by a 32-bit result), and for ReadMsrw a 16-bit
//                   length (% 513) and that many bytes written into the driver's 512-byte buffer
//
// Checks besides the sanitizers:
//   - each entry point gets what the protocol says: OpenPbpr (12, 5, 1, 160) after a 200 ms pause
//     each, WriteCommand ESC '0', SetPrtPortID "COM2" only for port 2, ReadMsrw a zero-filled
//     buffer, WriteMsrw ':' and the data; the entry points the driver never calls are not called;
//   - each direct call answers what the protocol makes of the library's answers (paper in 1 for 1
//     or 16 and 0 for 9; the stripe text after its first character, cut to the caller's capacity;
//     a stripe write's 65 as 1; paper out 1; initialise 242), with the stripe text compared byte by
//     byte;
//   - every step ends within its time bound: 200 ms per paper-in call, plus the initialise's 500 ms
//     pause and the time the harness runs the message loop;
//   - the caller's buffers are not written past their size (guard bytes), the data handed in is not
//     changed, the client's records have their documented shape.
//
// The loop the protocol leaves without an end: the paper-in calls OpenPbpr until it answers 1, 9 or
// 16. Here the library answers 9 once the input is used up, and at the latest on the 64th call of
// one step.
#include <cstdarg>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "fuzz/harness.h"
#include "gate/gate.h"

namespace {

using fuzz::CGuarded;
using fuzz::CInput;

constexpr int kMaxPaperInCalls = 64;
constexpr int kLibraryBufferBytes = 512;
constexpr char kLibraryPath[] = "C:\\Lodevar\\VSK_ALL.dll";
constexpr char kIni[] = "C:\\Lodevar\\User\\CommData.ini";

// The library as the entry points see it: the answers of the current input and what was called.
struct Library {
    static inline CInput* answers = nullptr;
    static inline fuzz::CFuzzClock* clock = nullptr;
    static inline std::uint32_t lastPaperInCall = 0;
    static inline int paperInCalls = 0;
    static inline int lastPaperInAnswer = 0;
    static inline int commands = 0;
    static inline int portChoices = 0;
    static inline int expels = 0;
    static inline int openAnswer = 0;
    static inline int readAnswer = 0;
    static inline int reads = 0;
    static inline std::string readFill;
    static inline std::string lastWrite;
    static inline int writeAnswer = 0;
    static inline int writes = 0;

    static void Reset() {
        paperInCalls = 0;
        commands = portChoices = expels = reads = writes = 0;
        openAnswer = readAnswer = writeAnswer = lastPaperInAnswer = 0;
        readFill.clear();
        lastWrite.clear();
    }
    static int Answer() {
        std::uint8_t code = answers->Byte();
        if (code == 0xFF) {
            return static_cast<int>(answers->Dword());
        }
        return static_cast<int>(static_cast<std::int8_t>(code));
    }

    static int LODEVAR_WINAPI OpenPbpr(int a, int b, int c, int d) {
        if (a != 12 || b != 5 || c != 1 || d != 160) {
            fuzz::Fail("OpenPbpr was called with (%d, %d, %d, %d)", a, b, c, d);
        }
        std::uint32_t now = clock->Ticks();
        if (now - lastPaperInCall < 200 && paperInCalls > 0) {
            fuzz::Fail("OpenPbpr was called again after %u ms, not after a 200 ms pause",
                       now - lastPaperInCall);
        }
        lastPaperInCall = now;
        ++paperInCalls;
        lastPaperInAnswer = answers->Empty() || paperInCalls >= kMaxPaperInCalls ? 9 : Answer();
        return lastPaperInAnswer;
    }
    static int LODEVAR_WINAPI WriteCommand(const char* text) {
        if (text == nullptr || std::strcmp(text,
                                           "\x1b"
                                           "0") != 0) {
            fuzz::Fail("WriteCommand was given another text than ESC '0'");
        }
        ++commands;
        return Answer();
    }
    static int LODEVAR_WINAPI SetPrtPortID(const char* text) {
        if (text == nullptr || std::strcmp(text, "COM2") != 0) {
            fuzz::Fail("SetPrtPortID was given another port name than COM2");
        }
        ++portChoices;
        return Answer();
    }
    static int LODEVAR_WINAPI OpenMsrw() {
        openAnswer = Answer();
        return openAnswer;
    }
    static int LODEVAR_WINAPI ReadMsrw(char* buffer) {
        for (int i = 0; i < kLibraryBufferBytes; ++i) {
            if (buffer[i] != '\0') {
                fuzz::Fail("ReadMsrw was handed a buffer that is not zero-filled (byte %d)", i);
            }
        }
        ++reads;
        readAnswer = Answer();
        readFill = answers->Bytes(answers->Word() % (kLibraryBufferBytes + 1));
        std::memcpy(buffer, readFill.data(), readFill.size());
        return readAnswer;
    }
    static int LODEVAR_WINAPI WriteMsrw(const char* text) {
        std::size_t length = text != nullptr ? strnlen(text, kLibraryBufferBytes) : kLibraryBufferBytes;
        if (length >= static_cast<std::size_t>(kLibraryBufferBytes) || text[0] != ':') {
            fuzz::Fail("WriteMsrw was given no ':' text terminated within 512 bytes");
        }
        lastWrite.assign(text, length);
        ++writes;
        writeAnswer = Answer();
        return writeAnswer;
    }
    static int LODEVAR_WINAPI ExpelPaper() {
        ++expels;
        return Answer();
    }
    static int LODEVAR_WINAPI PrtIsPowerOn() { return Answer(); }
    [[noreturn]] static void NeverCalled(const char* name) {
        fuzz::Fail("the driver called %s, an entry point it never calls", name);
    }
};

sim::CSimLibraryLoader::Exports LibraryExports(int missing) {
    auto proc = [](auto function) { return reinterpret_cast<os::Proc>(function); };
    sim::CSimLibraryLoader::Exports exports;
    exports["OpenPbpr"] = proc(&Library::OpenPbpr);
    exports["WriteCommand"] = proc(&Library::WriteCommand);
    exports["WriteOnlineCommand"] =
        proc(+[](const char*) -> int { Library::NeverCalled("WriteOnlineCommand"); });
    exports["PrintPbprData"] = proc(+[](const char*) -> int { Library::NeverCalled("PrintPbprData"); });
    exports["OpenMsrw"] = proc(&Library::OpenMsrw);
    exports["ReadMsrw"] = proc(&Library::ReadMsrw);
    exports["WriteMsrw"] = proc(&Library::WriteMsrw);
    exports["ExpelPaper"] = proc(&Library::ExpelPaper);
    exports["SetPrtPortID"] = proc(&Library::SetPrtPortID);
    exports["GetPrtPortID"] = proc(+[](char*) -> int { Library::NeverCalled("GetPrtPortID"); });
    exports["InitPrinterEnv"] = proc(+[]() -> int { Library::NeverCalled("InitPrinterEnv"); });
    exports["CheckPrtSelfID"] = proc(+[]() -> int { Library::NeverCalled("CheckPrtSelfID"); });
    exports["PrtIsPowerOn"] = proc(&Library::PrtIsPowerOn);
    exports["OpenComm"] = proc(+[]() -> int { Library::NeverCalled("OpenComm"); });
    exports["PrinterInit"] = proc(+[]() -> int { Library::NeverCalled("PrinterInit"); });
    exports["CloseComm"] = proc(+[]() -> int { Library::NeverCalled("CloseComm"); });
    exports["EjectPaper"] = proc(+[]() -> int { Library::NeverCalled("EjectPaper"); });
    exports["FilePrinting"] = proc(+[](const char*) -> int { Library::NeverCalled("FilePrinting"); });
    if (missing >= 0) {
        auto it = exports.begin();
        std::advance(it, missing % static_cast<int>(exports.size()));
        exports.erase(it);
    }
    return exports;
}

// A teller application's window: checks the shape of every record the driver sends it.
struct ClientWindow : os::IWindowProc {
    os::MessageResult OnMessage(os::Window, const os::Message& message) override {
        if (message.id != os::kWmCopyData) {
            return {true, 1};
        }
        const char* bytes = static_cast<const char*>(message.copyData);
        if (message.copySize == kAdviseReplyBytes && bytes != nullptr && bytes[0] == 'A') {
            for (int i = 1; i < 6; ++i) {
                if (bytes[i] != '\0') {
                    fuzz::Fail("the MSR advise reply has a non-zero byte at offset %d", i);
                }
            }
            if (strnlen(bytes + 9, 99) > 98) {
                fuzz::Fail("the MSR advise reply's text is not terminated within its 99 bytes");
            }
        } else if (message.copySize == kPrintEndBytes && bytes != nullptr) {
            if (std::strcmp(bytes, "PRINT_END_PBPR_MSG") != 0) {
                fuzz::Fail("the end-of-print notice does not start with its name");
            }
        } else {
            fuzz::Fail("a client received a record of %u bytes that is neither reply nor notice",
                       message.copySize);
        }
        return {true, 1};
    }
};

void Expect(bool holds, const char* format, ...) __attribute__((format(printf, 2, 3)));
void Expect(bool holds, const char* format, ...) {
    if (holds) {
        return;
    }
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof(text), format, arguments);
    va_end(arguments);
    fuzz::Fail("%s", text);
}

// An immediate request to a gate, from a guarded block; its result.
std::intptr_t Request(fuzz::CFuzzPlatform& sim, os::Window gate, os::Window client, const std::string& text) {
    CGuarded block(std::max<std::size_t>(text.size(), 89));
    std::memcpy(block.Data(), text.data(), text.size());
    os::Message message;
    message.id = os::kWmCopyData;
    message.wParam = client;
    message.copyTag = 0;
    message.copySize = static_cast<std::uint32_t>(block.Size());
    message.copyData = block.Data();
    std::intptr_t result = sim.windows.Send(gate, message);
    block.Check("request block");
    return result;
}

std::string RequestText(char letter, char option, const std::string& data) {
    char header[10];
    std::snprintf(header, sizeof(header), "%c0000%c%03d", letter, option,
                  static_cast<int>(data.size() % 1000));
    return std::string(header, 9) + data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CInput input(data, size);
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
        Step step;
        step.code = input.Byte() % 13;
        if (step.code == 1 || step.code == 2 || step.code == 3 || step.code == 8) {
            step.argument = input.Byte();
        } else if (step.code == 4 || step.code == 10) {
            step.data = input.Bytes(input.Byte());
            step.data = step.data.c_str();  // the data is a text: it ends at its first zero byte
        }
        steps.push_back(step);
    }

    fuzz::CFuzzPlatform sim;
    Library::Reset();
    Library::answers = &input;
    Library::clock = &sim.clock;
    Library::lastPaperInCall = sim.clock.Ticks();
    const int libraryKind = setup & 0x03;
    if (libraryKind != 2) {
        sim.library.Register(kLibraryPath, LibraryExports(libraryKind == 3 ? missing : -1));
    }
    const bool loadable = libraryKind <= 1;
    sim.system.SetProfileValue(kIni, "Lodevar", "MODEL", "2");
    sim.system.SetProfileValue(kIni, "Lodevar", "PORT", (setup & 0x04) != 0 ? "2" : "1");
    sim.desktop.defaultQuestionAnswer = (setup & 0x08) != 0 ? os::kIdOk : os::kIdCancel;
    sim.system.CreateNamedEvent(kWaitEventName);

    sim.windows.RegisterMainClass(kMainWindowName);
    CMainFrame frame(sim.platform);
    if (!frame.Create()) {
        fuzz::Fail("the main window was not created");
    }
    CComm& comm = frame.m_comm;
    comm.m_nFamily = 2;  // the library family, also for the calls made before any open
    ClientWindow clientProc;
    os::Window client = sim.windows.CreateClientWindow(clientProc);
    auto gate = static_cast<os::Window>(sim.windows.SendCopyData(frame.m_hWnd, client, GATE_REGISTER, nullptr,
                                                                 static_cast<std::uint32_t>(client)));
    if (gate == 0) {
        fuzz::Fail("the client's registration gave no gate");
    }

    bool active = false;
    std::uint32_t started = 0;
    std::uint32_t allowanceMs = 0;
    int stepCode = 0;
    int callsBefore = 0;
    sim.clock.watch = [&] {
        if (!active) {
            return;
        }
        std::uint32_t elapsed = sim.clock.Ticks() - started;
        auto calls = static_cast<std::uint32_t>(Library::paperInCalls - callsBefore);
        if (elapsed > 200 * (calls + 1) + allowanceMs) {
            fuzz::Fail("step %d runs for %u ms after %u paper-in calls and %u ms of pauses and message loop",
                       stepCode, elapsed, calls, allowanceMs);
        }
    };

    for (const Step& step : steps) {
        const bool loaded = comm.m_bLibLoaded != 0;
        Expect(loaded == (comm.m_hPrinterLib != 0), "m_bLibLoaded and the library handle disagree");
        if (loaded && !loadable) {
            fuzz::Fail("a library without all 18 entry points is loaded");
        }
        stepCode = step.code;
        started = sim.clock.Ticks();
        allowanceMs = 0;
        callsBefore = Library::paperInCalls;
        const int commandsBefore = Library::commands;
        const int expelsBefore = Library::expels;
        const int readsBefore = Library::reads;
        const int writesBefore = Library::writes;
        active = true;
        switch (step.code) {
            case 0: {
                // A failed first attempt falls back to the other port, so port 2 (SetPrtPortID) can
                // come up whatever the settings say.
                int result = frame.OpenPrinter(0);
                Expect(result == 1 || result == 242, "the open answered %d", result);
                Expect(result != 1 || comm.m_bLibLoaded == 1, "the open succeeded without the library bound");
                break;
            }
            case 1: {
                int result = comm.PaperIn(step.argument % 3);
                int calls = Library::paperInCalls - callsBefore;
                int expected = 0;
                if (loaded) {
                    int last = Library::lastPaperInAnswer;
                    Expect(calls >= 1 && calls <= kMaxPaperInCalls, "%d paper-in calls in one paper-in",
                           calls);
                    Expect(last == 1 || last == 9 || last == 16, "the paper-in ended on the answer %d", last);
                    expected = last == 9 ? 0 : 1;
                }
                Expect(result == expected, "PaperIn answered %d, not %d", result, expected);
                Expect(sim.clock.Ticks() - started == 200u * static_cast<std::uint32_t>(calls),
                       "PaperIn took %u ms for %d calls", sim.clock.Ticks() - started, calls);
                break;
            }
            case 2:
            case 3: {
                CGuarded buffer(static_cast<std::size_t>(step.argument), '\x5a');
                auto capacity = static_cast<int>(buffer.Size());
                int result = step.code == 2 ? comm.MsrRead(buffer.Data(), capacity)
                                            : comm.MsrPoll(buffer.Data(), capacity);
                buffer.Check("stripe buffer");
                std::string text = Library::readFill.substr(0, strnlen(Library::readFill.c_str(), 511));
                bool read = loaded && Library::openAnswer == 1 && Library::reads > readsBefore;
                int expected = read && Library::readAnswer == 1 && !text.empty() && capacity > 0 ? 1 : 0;
                Expect(result == expected, "the stripe read answered %d, not %d", result, expected);
                if (expected == 1) {
                    std::string kept = text.substr(1, static_cast<std::size_t>(capacity - 1));
                    Expect(std::memcmp(buffer.Data(), kept.c_str(), kept.size() + 1) == 0,
                           "the stripe read handed on other bytes than the library's text after its first");
                }
                break;
            }
            case 4: {
                CGuarded text(step.data.size() + 1);
                std::memcpy(text.Data(), step.data.c_str(), step.data.size() + 1);
                int result = comm.MsrWrite(text.Data());
                text.Check("stripe data");
                Expect(std::strcmp(text.Data(), step.data.c_str()) == 0, "MsrWrite changed its data");
                if (loaded) {
                    Expect(Library::writes == writesBefore + 1, "MsrWrite did not call WriteMsrw once");
                    Expect(Library::lastWrite == (":" + step.data).substr(0, 511),
                           "WriteMsrw got other text");
                    int expected = Library::writeAnswer == 65 ? 1 : Library::writeAnswer;
                    Expect(result == expected, "MsrWrite answered %d, not %d", result, expected);
                } else {
                    Expect(result == 0, "MsrWrite without the library answered %d", result);
                }
                break;
            }
            case 5: {
                allowanceMs = 500;  // the pause after the initialise command
                int result = comm.InitPrinter();
                Expect(result == 242, "InitPrinter of the library family answered %d", result);
                Expect(Library::commands == commandsBefore + (loaded ? 1 : 0), "InitPrinter sent %d commands",
                       Library::commands - commandsBefore);
                break;
            }
            case 6:
                Expect(comm.PaperOut() == 1, "PaperOut did not answer 1");
                Expect(Library::expels == expelsBefore + (loaded ? 1 : 0),
                       "PaperOut called ExpelPaper %d times", Library::expels - expelsBefore);
                break;
            case 7: {
                std::intptr_t result = Request(sim, gate, client, RequestText('S', '0', ""));
                Expect(result == 1, "request 'S' answered %ld", static_cast<long>(result));
                Expect(Library::commands == commandsBefore + (loaded ? 1 : 0), "request 'S' sent %d commands",
                       Library::commands - commandsBefore);
                break;
            }
            case 8:
            case 9:
            case 10:
            case 11: {
                const char letters[] = {'I', 'R', 'M', 'O'};
                auto option = static_cast<char>(step.argument);
                std::intptr_t result =
                    Request(sim, gate, client, RequestText(letters[step.code - 8], option, step.data));
                // 'M' hands on whatever WriteMsrw answered (65 as 1); the others answer status codes.
                if (step.code == 10 && Library::writes > writesBefore) {
                    int expected = Library::writeAnswer == 65 ? 1 : Library::writeAnswer;
                    Expect(result == expected, "request 'M' answered %ld, not %d", static_cast<long>(result),
                           expected);
                } else {
                    Expect(result >= -1 && result <= 255, "a request answered %ld",
                           static_cast<long>(result));
                }
                break;
            }
            case 12:
                Request(sim, gate, client, RequestText('A', '0', ""));
                allowanceMs = 1100;
                sim.RunLoop(allowanceMs);
                Request(sim, gate, client, RequestText('U', '0', ""));
                break;
            default:
                break;
        }
        sim.clock.watch();
        active = false;
    }
    Library::answers = nullptr;
    return 0;
}
