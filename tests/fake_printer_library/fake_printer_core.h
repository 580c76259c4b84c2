#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

// The fake printer library: the answers a test chooses and the log of every call the driver made.
// The in-process fake of the native tests and the DLL of the Windows tests both answer from one of
// these. Each call is logged as one line, integers in decimal and texts in double quotes with every
// byte outside printable ASCII (and '"', '\') as \xNN: OpenPbpr(12,5,1,160)  WriteCommand("\x1b0")
class CFakePrinterLibrary {
public:
    static constexpr std::size_t kReadBufferBytes = 512;  // what the driver hands ReadMsrw

    // ---- the answers ------------------------------------------------------------------------
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
    static constexpr const char* kSettingNames[] = {
        "FAKE_PBPR_POWER",    "FAKE_PBPR_OPEN_ANSWERS", "FAKE_PBPR_OPEN_MSR",
        "FAKE_PBPR_READ_MSR", "FAKE_PBPR_STRIPE",       "FAKE_PBPR_WRITE_ANSWER",
    };

    // ---- the entry points: WriteCommand, ExpelPaper and SetPrtPortID answer 1, the ones not
    // chosen above 0 (only their presence matters) -------------------------------------------
    int OpenPbpr(int a, int b, int c, int d);
    int ReadMsrw(char* buffer);
    int WriteCommand(const char* command) { return Log("WriteCommand", command, 1); }
    int WriteOnlineCommand(const char* command) { return Log("WriteOnlineCommand", command, 0); }
    int PrintPbprData(const char* data) { return Log("PrintPbprData", data, 0); }
    int OpenMsrw() { return Log("OpenMsrw()", openMsrAnswer); }
    int WriteMsrw(const char* data) { return Log("WriteMsrw", data, writeAnswer); }
    int ExpelPaper() { return Log("ExpelPaper()", 1); }
    int SetPrtPortID(const char* port) { return Log("SetPrtPortID", port, 1); }
    int GetPrtPortID(char* /*buffer, of a size unknown: untouched*/) { return Log("GetPrtPortID()", 0); }
    int InitPrinterEnv() { return Log("InitPrinterEnv()", 0); }
    int CheckPrtSelfID() { return Log("CheckPrtSelfID()", 0); }
    int PrtIsPowerOn() { return Log("PrtIsPowerOn()", powerAnswer); }
    int OpenComm() { return Log("OpenComm()", 0); }
    int PrinterInit() { return Log("PrinterInit()", 0); }
    int CloseComm() { return Log("CloseComm()", 0); }
    int EjectPaper() { return Log("EjectPaper()", 0); }
    int FilePrinting(const char* path) { return Log("FilePrinting", path, 0); }

    // ---- what the driver did ----------------------------------------------------------------
    std::vector<std::string> calls;
    bool readBufferZeroed = false;                     // the last ReadMsrw's buffer was all zero
    std::function<void(const std::string&)> listener;  // gets each log line as it is made

    // A text as it appears in the log, quotes included; a null pointer is written (null).
    static std::string Quote(const char* text);

private:
    int Log(std::string line, int answer);
    int Log(const char* entry, const char* text, int answer) {
        return Log(std::string(entry).append("(").append(Quote(text)).append(")"), answer);
    }
};

}  // namespace fake

// X(entry name, parameters, arguments): every entry point with its own parameter list, for the forms
// that define one function per entry point.
#define LODEVAR_FAKE_ENTRY_POINTS(X)                        \
    X(OpenPbpr, (int a, int b, int c, int d), (a, b, c, d)) \
    X(WriteCommand, (const char* text), (text))             \
    X(WriteOnlineCommand, (const char* text), (text))       \
    X(PrintPbprData, (const char* text), (text))            \
    X(OpenMsrw, (), ())                                     \
    X(ReadMsrw, (char* buffer), (buffer))                   \
    X(WriteMsrw, (const char* text), (text))                \
    X(ExpelPaper, (), ())                                   \
    X(SetPrtPortID, (const char* text), (text))             \
    X(GetPrtPortID, (char* buffer), (buffer))               \
    X(InitPrinterEnv, (), ())                               \
    X(CheckPrtSelfID, (), ())                               \
    X(PrtIsPowerOn, (), ())                                 \
    X(OpenComm, (), ())                                     \
    X(PrinterInit, (), ())                                  \
    X(CloseComm, (), ())                                    \
    X(EjectPaper, (), ())                                   \
    X(FilePrinting, (const char* text), (text))
