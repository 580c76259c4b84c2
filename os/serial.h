#pragma once

#include <cstdint>

#include "os/handle.h"

namespace os {

// Line settings of a serial device: the fields of the Windows DCB that the link sets.
struct LineSettings {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;    // 0 = none
    std::uint8_t stopBits = 0;  // 0 = one stop bit
    bool binary = false;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    std::uint8_t dtrControl = 0;  // 1 = DTR_CONTROL_ENABLE
    std::uint8_t rtsControl = 0;  // 1 = RTS_CONTROL_ENABLE
    bool outX = false;
    bool inX = false;
    char xonChar = 0;
    char xoffChar = 0;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
};

// Time-outs of a serial device in milliseconds (COMMTIMEOUTS).
struct Timeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

// The state of one overlapped transfer: file offsets and the event the platform signals.
struct IoBlock {
    std::uint32_t offset = 0;
    std::uint32_t offsetHigh = 0;
    Handle event = 0;
};

constexpr std::uint32_t kPurgeTxAbort = 0x01;
constexpr std::uint32_t kPurgeRxAbort = 0x02;
constexpr std::uint32_t kPurgeTxClear = 0x04;
constexpr std::uint32_t kPurgeRxClear = 0x08;
constexpr std::uint32_t kPurgeAll = 0x0F;

constexpr std::uint32_t kEventRxChar = 0x0001;  // EV_RXCHAR
constexpr std::uint32_t kModemCtsOn = 0x0010;   // MS_CTS_ON

// Serial devices as the platform offers them. Every call reports success as its result and
// never blocks longer than the device's own write time-out.
class ISerial {
public:
    virtual ~ISerial() = default;

    // An unnamed, manual-reset, unsignalled event for an IoBlock; 0 on failure.
    virtual Handle CreateIoEvent() = 0;
    virtual void CloseIoEvent(Handle event) = 0;

    // Opens an existing device for reading and writing, unshared, overlapped; 0 on failure.
    virtual Handle Open(const char* deviceName) = 0;
    virtual bool SetEventMask(Handle device, std::uint32_t mask) = 0;
    virtual bool SetupQueues(Handle device, std::uint32_t inBytes, std::uint32_t outBytes) = 0;
    virtual bool Purge(Handle device, std::uint32_t flags) = 0;
    virtual bool SetTimeouts(Handle device, const Timeouts& timeouts) = 0;
    virtual bool GetLineSettings(Handle device, LineSettings& settings) = 0;
    virtual bool SetLineSettings(Handle device, const LineSettings& settings) = 0;
    // Number of bytes waiting in the input queue (clears the device's error state); 0 when the
    // state cannot be read. A byte the device's read-ahead holds (see WakeHandle) counts.
    virtual std::uint32_t BytesWaiting(Handle device) = 0;
    // Reads up to n bytes, a byte the read-ahead holds first; `done` receives the count transferred.
    virtual bool Read(Handle device, IoBlock& block, void* buffer, std::uint32_t n, std::uint32_t& done) = 0;
    // A handle that is signalled once input has arrived on the device, for IClock::IdleUntil: the
    // device reads one byte ahead (started here when none is under way), and that read's end signals
    // the handle. The byte it took is held for BytesWaiting and Read, dropped by a purge of the
    // input, and a read still under way is cancelled by Close. 0 when the device cannot wait so
    // (it is not open, or it is lost).
    virtual Handle WakeHandle(Handle device) = 0;
    // Writes n bytes; `done` receives the count the device reports written.
    virtual bool Write(Handle device, IoBlock& block, const void* bytes, std::uint32_t n,
                       std::uint32_t& done) = 0;
    virtual bool ModemStatus(Handle device, std::uint32_t& status) = 0;
    virtual bool ClearDtr(Handle device) = 0;
    virtual void Close(Handle device) = 0;
    // True once the device has failed in a way that only a new open can mend: its state could not be
    // read, or a transfer or the modem status failed outright (a time-out is no such failure). A
    // printer that merely does not answer never makes its device lost; a device that is gone does
    // (a USB adapter pulled out, or under Wine a COM port whose pseudo-terminal was closed).
    virtual bool Lost(Handle device) = 0;
};

}  // namespace os
