#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "comm/printer_library.h"
#include "os/platform.h"

class CPrinterFamily;

// The printer link: the serial port, the status exchange and the printer operations of the three
// printer families, and the binding of the printer maker's library. One object per main window,
// used on the GUI thread only. Results are integers and m_strError; nothing throws.
//
// What differs between the families lives in one CPrinterFamily object per family (its own file,
// comm/family_*.cpp); the operations below find the family when it is not yet known and forward to
// its object. The family 0 and family 1 status queries stay members here: their procedures, the
// tests and the fuzzers call them by name.
class CComm {
public:
    explicit CComm(os::Platform& platform);
    ~CComm();
    CComm(const CComm&) = delete;
    CComm& operator=(const CComm&) = delete;

    // ---- serial link ----------------------------------------------------------------------
    int CreateEvents();
    int OpenPort(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                 std::uint8_t parity);
    int ConfigurePort();
    int ClosePort();
    int CloseAll();
    int ReadAvailable(char* buffer, int n);
    int GetByte();
    int WaitByte(std::int32_t timeoutMs);
    int WaitData(char* buffer, int n, std::int32_t timeoutMs);
    // How long the next byte of a frame whose first byte has come may take: 16 byte times at the
    // line settings of the last open (a real port hands a frame over in pieces: a UART's receive
    // FIFO, a USB adapter's latency timer), 2 to 1000 ms. 17 ms at 9600 baud.
    int TailGapMs() const;
    std::uint16_t PeekKey();
    int RawWrite(const char* bytes, int count);
    int WriteText(const char* text);
    int WriteTextCts(const char* text);
    static int StripColons(char* buffer, int length);
    int TraceData(std::string record);
    // "COM%d" for ports 0 to 4, "\\.\TELNET" for 5 to 255.
    static std::string DeviceName(std::uint8_t port);

    // ---- status exchange ------------------------------------------------------------------
    // Takes a configured family, 0 to 2; any other value leaves the family as it is (false).
    bool SetFamily(int family);
    int ProbeFamily();
    void SendStatusRequest();
    int QueryStatusA();
    int ReadReplyA();
    int QueryStatusB();
    int QueryStatus();
    void SetErrorText(int code);
    std::string GetErrorText() const;

    // ---- printer operations ---------------------------------------------------------------
    int InitPrinter();
    int PaperIn(int kind);
    int PaperOut();
    void SetPosition(int column, int row);
    void SetColumn(int column);
    void SetRow(int row);
    void SetBlackColor();
    void SetRedColor();
    void SetPitch(int cpi, int lpi);
    void SetEnlargeFont();
    void SetNormalFont();
    void SetFontFace(int face);
    int MsrRead(char* buffer, int capacity);
    int MsrPoll(char* buffer, int capacity);
    int MsrWrite(const char* data);
    int PrintPassbook(const char* text);
    int PrintChit(const char* text);
    int PrintPassbookAt(int column, int row, const char* text);
    int PrintChitAt(int column, int row, const char* text);
    void SendClear();
    void SelectPassbook();
    void SelectChit();

    // ---- a link that cannot carry an exchange ----------------------------------------------
    // The open device reported a hard failure: it is gone (a silent printer never makes it so).
    // For family 2, the library said during a paper-in wait since the last open that the printer is
    // no longer on.
    bool LinkLost();
    // Ends the waits of the exchange that is running, and of every one after it until
    // ResumeWaits: the driver is closing.
    void InterruptWaits() { m_bInterrupted = 1; }
    void ResumeWaits() { m_bInterrupted = 0; }
    // Either of the two: every wait then ends at once, as if its time-out had passed, every wait loop
    // ends as on the cancel key, and nothing more is written.
    bool LinkDown();

    // ---- device connection and printer library --------------------------------------------
    int OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                   std::uint8_t parity);
    int LoadPrinterLibrary();
    // The program's folder: its module file name cut at the last backslash.
    static std::string GetModuleFolder(os::IModule& module);

    // ---- fields: serial link --------------------------------------------------------------
    os::Handle m_hPort = 0;
    int m_bConnected = 0;
    int m_nFamily = 242;
    int m_bOpen = 0;
    std::uint16_t m_wCancelKey = 27;
    std::string m_strError;
    std::uint8_t m_nPortNo = 0;
    std::uint8_t m_nByteSize = 0;
    std::uint8_t m_nParity = 0;
    std::uint8_t m_nStopBits = 0;
    std::uint32_t m_nBaud = 0;
    os::IoBlock m_osWrite;
    os::IoBlock m_osRead;
    // What one read took from the device and the reads of the protocol have not taken yet: bytes
    // m_nInputFrom to m_nInputTo. Emptied by every purge of the input and by closing.
    char m_szInput[4096] = {};
    int m_nInputFrom = 0;
    int m_nInputTo = 0;

    // ---- fields: status exchange ----------------------------------------------------------
    char m_szCommand[99] = {};
    char m_szMsrReply[100] = {};
    int m_nMsrLen = 22;

    // ---- fields: printer library ----------------------------------------------------------
    int m_bLibLoaded = 0;
    os::Handle m_hPrinterLib = 0;
#define LODEVAR_DECLARE_SLOT(name, type) type m_p##name = nullptr;
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_DECLARE_SLOT)
#undef LODEVAR_DECLARE_SLOT

    // How deep a status query may start the printer's own recovery (an initialise after a paper
    // jam, an eject after a failed stripe operation) from inside another status query.
    static constexpr int kMaxRecoveryDepth = 2;

private:
    // The probe step every printer operation begins with: finds the family when it is not yet
    // known. False when it is still unknown afterwards.
    bool EnsureFamily();
    bool Cancelled();
    void PurgeInput();
    void PurgeBoth();
    void Purge(std::uint32_t flags);
    // One pass of a wait for input: idles until the device's input arrives, a message comes or
    // `deadline` passes.
    void IdleForInput(std::uint32_t deadline);
    void UnloadPrinterLibrary();

    // The object of the family in use, chosen when m_nFamily last changed; none while the family
    // is not known. FamilyObject keeps every object it made until the link ends, so that a family
    // changed while another one's procedure is under way leaves that procedure its object.
    CPrinterFamily* Family();
    CPrinterFamily* FamilyObject(int family);
    bool SerialLost();
    // The device connection of the families on the serial port: open, probe when the family is
    // not known, initialise.
    int OpenSerialDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                         std::uint8_t parity);

    os::Platform* m_pPlatform;
    int m_nRecoveryDepth = 0;
    int m_bInterrupted = 0;
    std::vector<std::pair<int, std::unique_ptr<CPrinterFamily>>> m_families;
    CPrinterFamily* m_pFamily = nullptr;
    int m_nChosenFamily = 242;

    friend class CPrinterFamily;
};
