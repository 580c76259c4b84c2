#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fake {

// The fake printer library's behaviour, as a test chooses it, and the log of every call the driver
// made. Plain C++: the in-process fake of the native tests and the DLL of the Windows tests both
// answer from one of these, so the two forms behave alike.
//
// Each call is logged as one line: the entry name and its arguments, integers in decimal and
// texts in double quotes with every byte outside printable ASCII (and '"', '\') written as \xNN:
//   OpenPbpr(12,5,1,160)   WriteCommand("\x1b0")   SetPrtPortID("COM2")   ReadMsrw()
class CFakePrinterLibrary {
public:
    // The driver hands ReadMsrw a buffer of this size; the fake never writes more.
    static constexpr std::size_t kReadBufferBytes = 512;

    // ---- behaviour --------------------------------------------------------------------------
    // What PrtIsPowerOn answers: 1 means switched on. Default 1.
    void SetPowerAnswer(int answer) { m_nPowerAnswer = answer; }
    // What successive OpenPbpr calls answer; after the last one it repeats. An empty list answers
    // 1. Default {1}.
    void SetOpenAnswers(std::vector<int> answers);
    // What OpenMsrw and ReadMsrw answer. Default 1 each.
    void SetOpenMsrAnswer(int answer) { m_nOpenMsrAnswer = answer; }
    void SetReadMsrAnswer(int answer) { m_nReadMsrAnswer = answer; }
    // The text ReadMsrw writes into the driver's buffer, NUL-terminated. A text of 512 bytes or
    // more fills the whole buffer with its first 512 bytes and no terminator. Default empty.
    void SetStripe(std::string text) { m_strStripe = std::move(text); }
    // What WriteMsrw answers. Default 65.
    void SetWriteAnswer(int answer) { m_nWriteAnswer = answer; }

    // One setting by its environment-variable name, as the DLL reads them:
    //   FAKE_PBPR_POWER=1            FAKE_PBPR_OPEN_ANSWERS=3,3,1   FAKE_PBPR_OPEN_MSR=1
    //   FAKE_PBPR_READ_MSR=1         FAKE_PBPR_STRIPE=:123          FAKE_PBPR_WRITE_ANSWER=65
    // False, with nothing changed, when the name is not one of these or the value is not a
    // decimal integer (a comma-separated list of them for FAKE_PBPR_OPEN_ANSWERS).
    bool Apply(std::string_view name, std::string_view value);
    static constexpr const char* kSettingNames[] = {
        "FAKE_PBPR_POWER",    "FAKE_PBPR_OPEN_ANSWERS", "FAKE_PBPR_OPEN_MSR",
        "FAKE_PBPR_READ_MSR", "FAKE_PBPR_STRIPE",       "FAKE_PBPR_WRITE_ANSWER",
    };

    // ---- the entry points -------------------------------------------------------------------
    // The ones the driver calls answer as chosen above; WriteCommand, ExpelPaper and SetPrtPortID
    // answer 1. The others answer 0 and touch nothing: only their presence matters.
    int OpenPbpr(int a, int b, int c, int d);
    int ReadMsrw(char* buffer);
    int WriteCommand(const char* command) { return Log("WriteCommand", command, 1); }
    int WriteOnlineCommand(const char* command) { return Log("WriteOnlineCommand", command, 0); }
    int PrintPbprData(const char* data) { return Log("PrintPbprData", data, 0); }
    int OpenMsrw() { return Log("OpenMsrw()", m_nOpenMsrAnswer); }
    int WriteMsrw(const char* data) { return Log("WriteMsrw", data, m_nWriteAnswer); }
    int ExpelPaper() { return Log("ExpelPaper()", 1); }
    int SetPrtPortID(const char* port) { return Log("SetPrtPortID", port, 1); }
    // The caller's buffer size is unknown: nothing is written.
    int GetPrtPortID(char* /*buffer*/) { return Log("GetPrtPortID()", 0); }
    int InitPrinterEnv() { return Log("InitPrinterEnv()", 0); }
    int CheckPrtSelfID() { return Log("CheckPrtSelfID()", 0); }
    int PrtIsPowerOn() { return Log("PrtIsPowerOn()", m_nPowerAnswer); }
    int OpenComm() { return Log("OpenComm()", 0); }
    int PrinterInit() { return Log("PrinterInit()", 0); }
    int CloseComm() { return Log("CloseComm()", 0); }
    int EjectPaper() { return Log("EjectPaper()", 0); }
    int FilePrinting(const char* path) { return Log("FilePrinting", path, 0); }

    // ---- what the driver did ----------------------------------------------------------------
    const std::vector<std::string>& Calls() const { return m_calls; }
    // The time of each call, from the time source (0 without one).
    const std::vector<std::uint32_t>& CallTimes() const { return m_times; }
    void ClearCalls();
    // Whether every byte of the buffer handed to the last ReadMsrw was zero.
    bool ReadBufferWasZeroed() const { return m_bReadBufferZeroed; }

    void SetTimeSource(std::function<std::uint32_t()> now) { m_now = std::move(now); }
    // Called with each log line as it is made (the DLL appends it to its log file).
    void SetCallListener(std::function<void(const std::string&)> listener) {
        m_listener = std::move(listener);
    }

    // A text as it appears in the log, quotes included; a null pointer is written (null).
    static std::string Quote(const char* text);

private:
    // Logs the line and gives the answer.
    int Log(std::string line, int answer);
    int Log(const char* entry, const char* text, int answer) {
        return Log(std::string(entry).append("(").append(Quote(text)).append(")"), answer);
    }

    int m_nPowerAnswer = 1;
    std::vector<int> m_openAnswers{1};
    std::size_t m_nOpenCalls = 0;
    int m_nOpenMsrAnswer = 1;
    int m_nReadMsrAnswer = 1;
    std::string m_strStripe;
    int m_nWriteAnswer = 65;
    bool m_bReadBufferZeroed = false;

    std::vector<std::string> m_calls;
    std::vector<std::uint32_t> m_times;
    std::function<std::uint32_t()> m_now;
    std::function<void(const std::string&)> m_listener;
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
