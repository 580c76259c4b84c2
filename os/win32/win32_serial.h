#pragma once

#include <windows.h>

#include <map>
#include <memory>

#include "os/serial.h"

namespace win32 {

// Serial devices through the Win32 communications API, opened for overlapped transfers. A read
// or write that the device leaves pending is waited for, bounded by the device's own time-outs
// plus a margin, and cancelled after that: no call blocks for long, and no transfer is left
// writing into memory that the caller may reuse.
//
// The wake handle of a device is the event of a one-byte overlapped read kept under way while the
// driver waits (the read-ahead): the event is set when the first byte arrives, on Windows and under
// Wine alike. WaitCommEvent(EV_RXCHAR), the obvious alternative, does not work under Wine 8 on a
// pseudo-terminal: every overlapped WaitCommEvent there came back at once as cancelled
// (ERROR_OPERATION_ABORTED, no event bits), with or without input. Where Windows and Wine differ on
// the read-ahead, both are handled:
// - a read that finds nothing within the device's read time-out (1000 ms) ends empty: with success
//   on Windows, with ERROR_TIMEOUT under Wine; either way it is started again by the next wait;
// - PURGE_RXABORT cancels a read under way on Windows; Wine leaves it under way;
// - Wine serves a read under way only while the thread waits, so bytes can sit in the queue (and be
//   counted by ClearCommError) while the read-ahead still waits for its byte: a Read then lets the
//   read-ahead take its byte first, so that the bytes stay in order.
class CWin32Serial : public os::ISerial {
public:
    CWin32Serial() = default;
    ~CWin32Serial() override;
    CWin32Serial(const CWin32Serial&) = delete;
    CWin32Serial& operator=(const CWin32Serial&) = delete;

    os::Handle CreateIoEvent() override;
    void CloseIoEvent(os::Handle event) override;

    os::Handle Open(const char* deviceName) override;
    bool SetEventMask(os::Handle device, std::uint32_t mask) override;
    bool SetupQueues(os::Handle device, std::uint32_t inBytes, std::uint32_t outBytes) override;
    bool Purge(os::Handle device, std::uint32_t flags) override;
    bool SetTimeouts(os::Handle device, const os::Timeouts& timeouts) override;
    bool GetLineSettings(os::Handle device, os::LineSettings& settings) override;
    bool SetLineSettings(os::Handle device, const os::LineSettings& settings) override;
    std::uint32_t BytesWaiting(os::Handle device) override;
    bool Read(os::Handle device, os::IoBlock& block, void* buffer, std::uint32_t n,
              std::uint32_t& done) override;
    bool Write(os::Handle device, os::IoBlock& block, const void* bytes, std::uint32_t n,
               std::uint32_t& done) override;
    bool ModemStatus(os::Handle device, std::uint32_t& status) override;
    bool ClearDtr(os::Handle device) override;
    void Close(os::Handle device) override;
    bool Lost(os::Handle device) override;
    os::Handle WakeHandle(os::Handle device) override;

    // Whether a failure with this error code means that the device is gone, rather than that a
    // transfer ran out of time or was cancelled by the driver itself.
    static bool IsHardFailure(DWORD error);

    // How long a transfer of n bytes may stay pending before it is cancelled: the device's total
    // time-out for it (1000 ms when none is set) plus a margin.
    static std::uint32_t WaitBound(std::uint32_t multiplier, std::uint32_t constant, std::uint32_t n);

private:
    // The OVERLAPPED of one I/O event. It lives on the heap at a fixed address, because a
    // transfer that could not be seen to finish still owns it.
    struct Transfer {
        OVERLAPPED overlapped;
        bool busy = false;  // started, and not yet seen to have finished
    };

    // The read-ahead of one device. It lives on the heap at a fixed address, because a read that
    // could not be seen to end still owns its OVERLAPPED and byte.
    struct ReadAhead {
        OVERLAPPED overlapped{};
        HANDLE event = nullptr;
        char byte = 0;
        bool underWay = false;  // started, and not yet seen to have ended
        bool holding = false;   // `byte` arrived and has not been taken
    };

    Transfer* Begin(const os::IoBlock& block);
    ReadAhead* FindReadAhead(os::Handle device);
    // Notes the end of a read-ahead under way, if it has ended.
    void Settle(os::Handle device, ReadAhead& ahead);
    // Lets a read-ahead under way end within `waitMs`, then cancels it; false when it is still
    // under way after that.
    bool Finish(os::Handle device, ReadAhead& ahead, DWORD waitMs);
    // Finishes a transfer that ReadFile or WriteFile started; `error` is ERROR_SUCCESS when it
    // finished at once, else the error it answered.
    bool Complete(os::Handle device, Transfer& transfer, DWORD error, DWORD waitMs, std::uint32_t& done);
    os::Timeouts TimeoutsOf(os::Handle device) const;
    // Notes a failure of a call on the device; a hard one makes the device lost.
    void Failed(os::Handle device, DWORD error);

    std::map<os::Handle, std::unique_ptr<Transfer>> m_transfers;    // by event
    std::map<os::Handle, os::Timeouts> m_timeouts;                  // by device
    std::map<os::Handle, DWORD> m_lost;                             // by device: the first hard error
    std::map<os::Handle, std::unique_ptr<ReadAhead>> m_readAheads;  // by device
};

}  // namespace win32
