#pragma once

#include <cstdint>
#include <memory>

#include "os/platform.h"

class CComm;

// The commands that more than one family, or the probe, writes.
namespace command {
inline constexpr char kInitialise[] =
    "\x1b"
    "0";  // family 0's initialise, and the library's reset command
inline constexpr char kStatusRequestAlder[] =
    "\x1b"
    "j";
inline constexpr char kStatusRequestBirch[] =
    "\x1b"
    "h";
}  // namespace command

// What one printer family does for each of the link's operations. The link chooses one object
// when the family becomes known (CComm::SetFamily, the probe) and forwards every operation to it.
// A new family derives from this class in a file of its own and is added where families are
// chosen (printer_family.cpp); every operation is pure, so the compiler names any it leaves out.
// Results are those the link's callers get: 1 for success, otherwise the status code.
class CPrinterFamily {
public:
    explicit CPrinterFamily(CComm& comm) : m_comm(comm) {}
    virtual ~CPrinterFamily() = default;
    CPrinterFamily(const CPrinterFamily&) = delete;
    CPrinterFamily& operator=(const CPrinterFamily&) = delete;

    // ---- the device ---------------------------------------------------------------------------
    // Brings the device up: 1 when it is ready, otherwise 0 or 242 with the reason in m_strError.
    virtual int OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize,
                           std::uint8_t stopBits, std::uint8_t parity) = 0;
    // Whether a write first waits for the printer's CTS line.
    virtual bool WritesWaitForCts() const = 0;
    // The device reported it is gone.
    virtual bool LinkLost() = 0;

    // ---- the status exchange ------------------------------------------------------------------
    virtual void SendStatusRequest() = 0;
    virtual int QueryStatus() = 0;

    // ---- the printer operations ---------------------------------------------------------------
    virtual void Initialise() = 0;  // the initialise command alone
    virtual int PaperIn(int kind) = 0;
    virtual void PaperOut() = 0;
    virtual void SetColumn(int column) = 0;
    virtual void SetRow(int row) = 0;
    virtual void SetColour(bool red) = 0;
    virtual void SetPitch(int cpi, int lpi) = 0;
    virtual void SetCharacterSize(bool enlarged) = 0;
    virtual void SetFontFace(int face) = 0;
    virtual int MsrRead(char* buffer, int capacity) = 0;
    virtual int MsrPoll(char* buffer, int capacity) = 0;
    virtual int MsrWrite(const char* data) = 0;
    virtual int PrintPassbook(const char* text) = 0;
    virtual int PrintChit(const char* text) = 0;
    virtual void SendClear() = 0;
    virtual void SelectPassbook() = 0;
    virtual void SelectChit() = 0;

protected:
    // The link's own steps that the families build on.
    os::Platform& Platform();
    os::IClock& Clock();
    bool Cancelled();
    void PurgeInput();
    bool SerialLost();
    int OpenSerialDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                         std::uint8_t parity);
    // `code` as the caller's result: 1 when it is `wanted`, otherwise the code itself.
    static int Done(int code, int wanted);

    CComm& m_comm;
};

// The object for family `family`, or none for a value that names no family (242: not yet known).
std::unique_ptr<CPrinterFamily> ChooseFamily(int family, CComm& comm);
