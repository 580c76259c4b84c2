#pragma once

#include <cstdint>

#include "os/platform.h"

class CGate;

// All that a gate knows of the driver: the window it lives in, the device operations its requests
// run, the one rule that says when the printer is busy, the printer's font and the reset. The main
// window implements it; a native test may implement it to drive a gate alone.
class IGateHost {
public:
    virtual ~IGateHost() = default;

    // ---- the gate's place -------------------------------------------------------------------
    virtual os::Platform& Platform() = 0;
    // The parent of the gate windows.
    virtual os::Window Window() const = 0;
    virtual int AddGate(CGate* gate) = 0;
    virtual int RemoveGate(CGate* gate) = 0;
    // A post of the gate's own message was refused: the host runs its queued records later.
    virtual void RetryLater() = 0;

    // ---- the busy rule ----------------------------------------------------------------------
    // 0 when a printer operation may run now. While another printer exchange runs further down
    // the stack (the link's waits dispatch messages) it is that operation's answer instead: 85
    // (BANK_ACTING), or 242 (ERR_PBPROFF) while the device is being opened, as a closed device
    // answers.
    virtual int DeviceBusy() const = 0;

    // ---- the device operations --------------------------------------------------------------
    virtual int PRINTBANK(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) = 0;
    virtual int PRINTCHIT(std::int16_t column, std::int16_t row, const char* text, std::int16_t length) = 0;
    virtual int PAPERIN(int kind) = 0;
    virtual int PAPEROUT() = 0;
    virtual int MSRREAD(char* buffer, int capacity) = 0;
    virtual int MSRWRITE(const char* data, int length) = 0;
    virtual int SETPITCH(int cpi, int lpi) = 0;
    virtual int SETENLARGEFONT() = 0;
    virtual int SETNORMAFONT() = 0;
    virtual int SETMYOUNGJOFONT() = 0;
    virtual int SETGODICFONT() = 0;
    // The status text of the last failure, cut to `size` bytes with its terminator.
    virtual int GETLASTERROR(char* buffer, int size) = 0;
    // The MSR wait: the gate whose advise receives the stripe data.
    virtual int StartMsrAdvise(CGate* gate) = 0;
    virtual int StopMsrAdvise(CGate* gate) = 0;
    // The reset request: for the printer library's family its own reset command (the device's
    // open state is neither tested nor changed, and the answer is 1), else an open of the device.
    virtual int ResetPrinter() = 0;

    // ---- the printer's font -----------------------------------------------------------------
    // The font code ('1' to '4') whose commands a gate sent last: the printer has one font, the
    // gates each their own.
    virtual int PrinterFont() const = 0;
    virtual void SetPrinterFont(int font) = 0;

protected:
    IGateHost() = default;
    IGateHost(const IGateHost&) = default;
    IGateHost& operator=(const IGateHost&) = default;
};
