#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/printer_library.h"

namespace fake {

// The fake printer library: the answers a test chooses and the log of every call the driver made.
// The in-process fake of the native tests and the DLL of the Windows tests both answer from one of
// these. Each call is logged as one line, integers in decimal and texts in double quotes with every
// byte outside printable ASCII (and '"', '\') as \xNN: OpenPbpr(12,5,1,160)  WriteCommand("\x1b0")
class CFakePrinterLibrary {
public:
    static constexpr std::size_t kReadBufferBytes = 512;  // what the driver hands ReadMsrw

    // ---- the answers; WriteCommand, ExpelPaper and SetPrtPortID answer 1, the other entry points 0
    // (only their presence matters) ------------------------------------------------------------
    int powerAnswer = 1;              // PrtIsPowerOn: 1 means switched on
    std::vector<int> openAnswers{1};  // successive OpenPbpr answers; the last one repeats
    int openMsrAnswer = 1;            // OpenMsrw
    int readMsrAnswer = 1;            // ReadMsrw
    std::string stripe;               // what ReadMsrw writes; from 512 bytes on it fills the buffer unended
    int writeAnswer = 65;             // WriteMsrw

    // One answer by its environment-variable name, as the DLL reads them; FAKE_PBPR_OPEN_ANSWERS
    // takes a comma-separated list. False, changing nothing, for another name or a value that is
    // no whole decimal integer.
    bool Apply(std::string_view name, std::string_view value);
    static constexpr const char* kSettingNames[] = {"FAKE_PBPR_POWER", "FAKE_PBPR_OPEN_ANSWERS",
                                                    "FAKE_PBPR_STRIPE", "FAKE_PBPR_WRITE_ANSWER"};

    // A call of the entry point `name`, by the kind of its parameters; each is logged and answered.
    int Call(const char* name) { return Answer(name, ""); }
    int Call(const char* name, const char* text) { return Answer(name, Quote(text)); }
    int Call(const char* name, char* buffer);  // ReadMsrw fills it; others leave it untouched
    int Call(const char* name, int a, int b, int c, int d) {
        return Answer(name, std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
                                std::to_string(d));
    }

    // ---- what the driver did ----------------------------------------------------------------
    std::vector<std::string> calls;
    bool readBufferZeroed = false;                     // the last ReadMsrw's buffer was all zero
    std::function<void(const std::string&)> listener;  // gets each log line as it is made

    // A text as it appears in the log, quotes included; a null pointer is written (null).
    static std::string Quote(const char* text);

private:
    int Answer(std::string_view name, const std::string& arguments);
};

}  // namespace fake

// Defines the entry point `name` of the driver's list with the parameters of its pointer type, calling
// the `Core()` of the file that expands it.
#define LODEVAR_FAKE_ENTRY(name, type) int LODEVAR_WINAPI name LODEVAR_FAKE_##type(#name)
#define LODEVAR_FAKE_PbprOpenPbpr(name) (int a, int b, int c, int d) LODEVAR_FAKE_CALL((name, a, b, c, d))
#define LODEVAR_FAKE_PbprTextCall(name) (const char* text) LODEVAR_FAKE_CALL((name, text))
#define LODEVAR_FAKE_PbprBufferCall(name) (char* buffer) LODEVAR_FAKE_CALL((name, buffer))
#define LODEVAR_FAKE_PbprPlainCall(name) () LODEVAR_FAKE_CALL((name))
#define LODEVAR_FAKE_CALL(arguments) \
    { return Core().Call arguments; }
