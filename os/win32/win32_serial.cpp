#include "os/win32/win32_serial.h"

#include <algorithm>

#include "os/win32/win32_handle.h"

namespace win32 {

namespace {

// The DCB of the Win32 API is 28 bytes on both targets; the device checks its length field.
static_assert(sizeof(DCB) == 28);

constexpr std::uint32_t kDefaultTotalMs = 1000;
constexpr std::uint32_t kLongestTotalMs = 60000;
constexpr std::uint32_t kMarginMs = 500;
// A cancelled transfer ends as soon as the driver sees the cancel; this only guards against a
// driver that never does.
constexpr DWORD kCancelWaitMs = 500;

}  // namespace

CWin32Serial::~CWin32Serial() {
    while (!m_readAheads.empty()) {
        Close(m_readAheads.begin()->first);  // a device the driver left open
    }
    while (!m_transfers.empty()) {
        CloseIoEvent(m_transfers.begin()->first);
    }
}

std::uint32_t CWin32Serial::WaitBound(std::uint32_t multiplier, std::uint32_t constant, std::uint32_t n) {
    std::uint64_t total = static_cast<std::uint64_t>(multiplier) * n + constant;
    if (total == 0) {
        total = kDefaultTotalMs;  // no total time-out set: the device could wait forever
    }
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, kLongestTotalMs)) + kMarginMs;
}

os::Handle CWin32Serial::CreateIoEvent() {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr) {
        return 0;
    }
    m_transfers[FromHandle(event)] = std::make_unique<Transfer>();
    return FromHandle(event);
}

void CWin32Serial::CloseIoEvent(os::Handle event) {
    auto it = m_transfers.find(event);
    if (it != m_transfers.end()) {
        Transfer* transfer = it->second.get();
        if (transfer->busy && !HasOverlappedIoCompleted(&transfer->overlapped)) {
            // The driver still owns the block and will signal the event: leave both to it.
            (void)it->second.release();
            m_transfers.erase(it);
            return;
        }
        m_transfers.erase(it);
    }
    if (event != 0) {
        CloseHandle(ToHandle(event));
    }
}

os::Handle CWin32Serial::Open(const char* deviceName) {
    HANDLE device = CreateFileA(deviceName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE || device == nullptr) {
        return 0;
    }
    // A device is opened with the event of its read-ahead; one that cannot have it is not opened.
    auto ahead = std::make_unique<ReadAhead>();
    ahead->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ahead->event == nullptr) {
        CloseHandle(device);
        return 0;
    }
    m_readAheads[FromHandle(device)] = std::move(ahead);
    return FromHandle(device);
}

bool CWin32Serial::SetEventMask(os::Handle device, std::uint32_t mask) {
    return SetCommMask(ToHandle(device), mask) != FALSE;
}

bool CWin32Serial::SetupQueues(os::Handle device, std::uint32_t inBytes, std::uint32_t outBytes) {
    return SetupComm(ToHandle(device), inBytes, outBytes) != FALSE;
}

bool CWin32Serial::Purge(os::Handle device, std::uint32_t flags) {
    const bool purged = PurgeComm(ToHandle(device), flags) != FALSE;
    ReadAhead* ahead = FindReadAhead(device);
    if ((flags & os::kPurgeRxClear) != 0 && ahead != nullptr) {
        Settle(device, *ahead);
        ahead->holding = false;  // a read under way stays so: it takes the first byte after the purge
    }
    return purged;
}

bool CWin32Serial::SetTimeouts(os::Handle device, const os::Timeouts& timeouts) {
    COMMTIMEOUTS native{};
    native.ReadIntervalTimeout = timeouts.readInterval;
    native.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
    native.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
    native.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
    native.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
    if (!SetCommTimeouts(ToHandle(device), &native)) {
        return false;
    }
    m_timeouts[device] = timeouts;
    return true;
}

bool CWin32Serial::GetLineSettings(os::Handle device, os::LineSettings& settings) {
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(ToHandle(device), &dcb)) {
        return false;
    }
    settings.baudRate = dcb.BaudRate;
    settings.byteSize = dcb.ByteSize;
    settings.parity = dcb.Parity;
    settings.stopBits = dcb.StopBits;
    settings.binary = dcb.fBinary != 0;
    settings.parityCheck = dcb.fParity != 0;
    settings.outxCtsFlow = dcb.fOutxCtsFlow != 0;
    settings.outxDsrFlow = dcb.fOutxDsrFlow != 0;
    settings.dtrControl = static_cast<std::uint8_t>(dcb.fDtrControl);
    settings.rtsControl = static_cast<std::uint8_t>(dcb.fRtsControl);
    settings.outX = dcb.fOutX != 0;
    settings.inX = dcb.fInX != 0;
    settings.xonChar = dcb.XonChar;
    settings.xoffChar = dcb.XoffChar;
    settings.xonLim = dcb.XonLim;
    settings.xoffLim = dcb.XoffLim;
    return true;
}

bool CWin32Serial::SetLineSettings(os::Handle device, const os::LineSettings& settings) {
    // Read the device's block again so that every field the settings do not name keeps the
    // value the device reports.
    DCB dcb{};
    dcb.DCBlength = sizeof(DCB);
    if (!GetCommState(ToHandle(device), &dcb)) {
        return false;
    }
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = settings.parity;
    dcb.StopBits = settings.stopBits;
    dcb.fBinary = settings.binary ? 1 : 0;
    dcb.fParity = settings.parityCheck ? 1 : 0;
    dcb.fOutxCtsFlow = settings.outxCtsFlow ? 1 : 0;
    dcb.fOutxDsrFlow = settings.outxDsrFlow ? 1 : 0;
    dcb.fDtrControl = settings.dtrControl & 0x3u;
    dcb.fRtsControl = settings.rtsControl & 0x3u;
    dcb.fOutX = settings.outX ? 1 : 0;
    dcb.fInX = settings.inX ? 1 : 0;
    dcb.XonChar = settings.xonChar;
    dcb.XoffChar = settings.xoffChar;
    dcb.XonLim = settings.xonLim;
    dcb.XoffLim = settings.xoffLim;
    return SetCommState(ToHandle(device), &dcb) != FALSE;
}

std::uint32_t CWin32Serial::BytesWaiting(os::Handle device) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(ToHandle(device), &errors, &stat)) {
        Failed(device, GetLastError());
        return 0;
    }
    // Looked at after the queue, so that a byte the read-ahead took meanwhile is counted too.
    ReadAhead* ahead = FindReadAhead(device);
    if (ahead != nullptr) {
        Settle(device, *ahead);
    }
    return stat.cbInQue + (ahead != nullptr && ahead->holding ? 1 : 0);
}

bool CWin32Serial::IsHardFailure(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
        case ERROR_IO_PENDING:
        case ERROR_IO_INCOMPLETE:
        case ERROR_OPERATION_ABORTED:  // our own cancel of a transfer that ran out of time
        case ERROR_SEM_TIMEOUT:        // the device's time-out
        case ERROR_TIMEOUT:
        case ERROR_COUNTER_TIMEOUT:
            return false;
        default:
            return true;
    }
}

void CWin32Serial::Failed(os::Handle device, DWORD error) {
    // Seen under Wine once the pseudo-terminal behind a COM port has been closed: ClearCommError,
    // WriteFile and GetCommModemStatus answer ERROR_NOT_READY, and a read completes with
    // ERROR_BROKEN_PIPE, for as long as the handle lives. Windows answers a USB adapter that was
    // pulled out with ERROR_ACCESS_DENIED, ERROR_BAD_COMMAND or ERROR_GEN_FAILURE likewise.
    if (IsHardFailure(error) && m_lost.find(device) == m_lost.end()) {
        m_lost[device] = error;
    }
}

bool CWin32Serial::Lost(os::Handle device) {
    return m_lost.find(device) != m_lost.end();
}

os::Timeouts CWin32Serial::TimeoutsOf(os::Handle device) const {
    auto it = m_timeouts.find(device);
    return it == m_timeouts.end() ? os::Timeouts{} : it->second;
}

CWin32Serial::Transfer* CWin32Serial::Begin(const os::IoBlock& block) {
    auto it = m_transfers.find(block.event);
    if (it == m_transfers.end()) {
        return nullptr;  // not an event of ours: there is no OVERLAPPED to use
    }
    Transfer& transfer = *it->second;
    if (transfer.busy && !HasOverlappedIoCompleted(&transfer.overlapped)) {
        return nullptr;  // an earlier cancelled transfer still owns the block
    }
    transfer.overlapped = OVERLAPPED{};
    transfer.overlapped.Offset = block.offset;
    transfer.overlapped.OffsetHigh = block.offsetHigh;
    // The event's handle with its lowest bit set: the transfer still signals the event, but queues
    // nothing for an I/O completion port. None is ever attached, yet Wine asks its server to queue
    // the packet for every write that completes at once; the system ignores a handle's two low bits.
    transfer.overlapped.hEvent =
        reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(ToHandle(block.event)) | ULONG_PTR{1});
    transfer.busy = false;
    return &transfer;
}

bool CWin32Serial::Complete(os::Handle handle, Transfer& transfer, DWORD error, DWORD waitMs,
                            std::uint32_t& done) {
    HANDLE device = ToHandle(handle);
    if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING) {
        Failed(handle, error);
        return false;
    }
    // Even a transfer of bytes that are already waiting may answer ERROR_IO_PENDING (Wine's serial
    // reads always do), so the pending case is the normal one.
    transfer.busy = true;
    HANDLE event =
        reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(transfer.overlapped.hEvent) & ~ULONG_PTR{1});
    // A pending transfer may have ended already (under Wine the read of bytes that are waiting ends
    // while ReadFile returns): then there is nothing to wait for.
    if (error == ERROR_IO_PENDING && !HasOverlappedIoCompleted(&transfer.overlapped) &&
        WaitForSingleObject(event, waitMs) != WAIT_OBJECT_0) {
        CancelIo(device);
        if (WaitForSingleObject(event, kCancelWaitMs) != WAIT_OBJECT_0) {
            return false;  // still owned by the driver; Begin refuses the block until it is done
        }
    }
    DWORD count = 0;
    BOOL finished = GetOverlappedResult(device, &transfer.overlapped, &count, FALSE);
    if (finished == FALSE) {
        Failed(handle, GetLastError());
    }
    transfer.busy = false;
    done = count;
    return finished != FALSE;
}

CWin32Serial::ReadAhead* CWin32Serial::FindReadAhead(os::Handle device) {
    auto it = m_readAheads.find(device);
    return it == m_readAheads.end() ? nullptr : it->second.get();
}

void CWin32Serial::Settle(os::Handle device, ReadAhead& ahead) {
    if (!ahead.underWay || !HasOverlappedIoCompleted(&ahead.overlapped)) {
        return;
    }
    DWORD count = 0;
    if (GetOverlappedResult(ToHandle(device), &ahead.overlapped, &count, FALSE)) {
        ahead.holding = count == 1;
    } else {
        Failed(device, GetLastError());  // an empty end (Wine: ERROR_TIMEOUT) or a cancel is no failure
    }
    ahead.underWay = false;
}

bool CWin32Serial::Finish(os::Handle device, ReadAhead& ahead, DWORD waitMs) {
    Settle(device, ahead);
    if (ahead.underWay && WaitForSingleObject(ahead.event, waitMs) != WAIT_OBJECT_0) {
        CancelIoEx(ToHandle(device), &ahead.overlapped);
        WaitForSingleObject(ahead.event, kCancelWaitMs);
    }
    Settle(device, ahead);
    return !ahead.underWay;
}

os::Handle CWin32Serial::WakeHandle(os::Handle device) {
    ReadAhead* ahead = FindReadAhead(device);
    if (ahead == nullptr || Lost(device)) {
        return 0;
    }
    Settle(device, *ahead);
    if (!ahead->underWay && !ahead->holding) {
        ahead->overlapped = OVERLAPPED{};
        ahead->overlapped.hEvent = ahead->event;
        ahead->underWay = true;
        const DWORD error = ReadFile(ToHandle(device), &ahead->byte, 1, nullptr, &ahead->overlapped)
                                ? ERROR_SUCCESS
                                : GetLastError();
        if (error != ERROR_SUCCESS && error != ERROR_IO_PENDING) {
            ahead->underWay = false;
            Failed(device, error);
            return 0;
        }
        Settle(device, *ahead);
        if (!ahead->underWay && !ahead->holding) {
            return 0;  // the read ended at once and empty: this device cannot wake a wait
        }
    }
    return FromHandle(ahead->event);
}

bool CWin32Serial::Read(os::Handle device, os::IoBlock& block, void* buffer, std::uint32_t n,
                        std::uint32_t& done) {
    done = 0;
    const os::Timeouts timeouts = TimeoutsOf(device);
    auto* bytes = static_cast<char*>(buffer);
    ReadAhead* ahead = FindReadAhead(device);
    if (ahead != nullptr && n > 0) {
        // Bytes are asked for while the read-ahead still waits for its byte: it takes the first of
        // them, and is cancelled if it does not within the read time-out.
        if (!Finish(device, *ahead, WaitBound(timeouts.readTotalMultiplier, timeouts.readTotalConstant, 1))) {
            return false;
        }
        if (ahead->holding) {
            bytes[done++] = ahead->byte;
            ahead->holding = false;
        }
    }
    if (done == n) {
        return true;
    }
    Transfer* transfer = Begin(block);
    if (transfer == nullptr) {
        return done > 0;
    }
    BOOL started = ReadFile(ToHandle(device), bytes + done, n - done, nullptr, &transfer->overlapped);
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    std::uint32_t rest = 0;
    const bool read =
        Complete(device, *transfer, error,
                 WaitBound(timeouts.readTotalMultiplier, timeouts.readTotalConstant, n - done), rest);
    done += rest;
    return read || done > 0;
}

bool CWin32Serial::Write(os::Handle device, os::IoBlock& block, const void* bytes, std::uint32_t n,
                         std::uint32_t& done) {
    done = 0;
    Transfer* transfer = Begin(block);
    if (transfer == nullptr) {
        return false;
    }
    const os::Timeouts timeouts = TimeoutsOf(device);
    BOOL started = WriteFile(ToHandle(device), bytes, n, nullptr, &transfer->overlapped);
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    return Complete(device, *transfer, error,
                    WaitBound(timeouts.writeTotalMultiplier, timeouts.writeTotalConstant, n), done);
}

bool CWin32Serial::ModemStatus(os::Handle device, std::uint32_t& status) {
    DWORD lines = 0;
    if (GetCommModemStatus(ToHandle(device), &lines)) {
        status = lines;
        return true;
    }
    DWORD error = GetLastError();
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) {
        // A device without modem lines (Wine maps a pseudo-terminal to a COM port this way: Linux
        // refuses TIOCMGET on a pty, and Wine answers ERROR_NOT_SUPPORTED) cannot hold the
        // sender back, so it is clear to send, as on a three-wire cable. A device that is gone
        // or broken fails with other errors and is still reported as unreadable.
        status = MS_CTS_ON | MS_DSR_ON;
        return true;
    }
    Failed(device, error);
    status = 0;
    return false;
}

bool CWin32Serial::ClearDtr(os::Handle device) {
    return EscapeCommFunction(ToHandle(device), CLRDTR) != FALSE;
}

void CWin32Serial::Close(os::Handle device) {
    auto it = m_readAheads.find(device);
    if (it != m_readAheads.end()) {
        ReadAhead& ahead = *it->second;
        Finish(device, ahead, 0);  // a read under way is cancelled and seen to end
        CloseHandle(ToHandle(device));
        if (ahead.underWay && WaitForSingleObject(ahead.event, kCancelWaitMs) != WAIT_OBJECT_0) {
            // The driver still owns the block and will signal the event: leave both to it.
            (void)it->second.release();
        } else {
            CloseHandle(ahead.event);
        }
        m_readAheads.erase(it);
    } else {
        CloseHandle(ToHandle(device));
    }
    m_timeouts.erase(device);
    m_lost.erase(device);
}

}  // namespace win32
