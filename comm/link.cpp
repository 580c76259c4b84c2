// The serial link: opening the device with the printer's line settings, byte reads that never
// block, waits that keep the window messages flowing and wake when the printer's bytes arrive, and
// paced text writes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"

namespace {

constexpr std::uint32_t kQueueBytes = 4096;
constexpr int kBlockBytes = 400;
constexpr int kStripLimit = 100;

}  // namespace

int CComm::CreateEvents() {
    m_osRead.offset = m_osRead.offsetHigh = 0;
    m_osWrite.offset = m_osWrite.offsetHigh = 0;
    m_osRead.event = m_pPlatform->serial.CreateIoEvent();
    if (m_osRead.event == 0) {
        m_strError = "Create Communcation Read Event Error";
        return 0;
    }
    m_osWrite.event = m_pPlatform->serial.CreateIoEvent();
    if (m_osWrite.event == 0) {
        m_strError = "Create Communcation Write Event Error";
        m_pPlatform->serial.CloseIoEvent(m_osRead.event);
        m_osRead.event = 0;
        return 0;
    }
    return 1;
}

std::string CComm::DeviceName(std::uint8_t port) {
    if (port > 4) {
        return "\\\\.\\TELNET";
    }
    return "COM" + std::to_string(port);
}

int CComm::OpenPort(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                    std::uint8_t parity) {
    m_nPortNo = port;
    m_nBaud = baud;
    m_nByteSize = byteSize;
    m_nStopBits = stopBits;
    m_nParity = parity;

    os::ISerial& serial = m_pPlatform->serial;
    m_hPort = serial.Open(DeviceName(port).c_str());
    if (m_hPort == 0) {
        m_strError = "Create File Error";
        return 0;
    }
    serial.SetEventMask(m_hPort, os::kEventRxChar);
    serial.SetupQueues(m_hPort, kQueueBytes, kQueueBytes);
    Purge(os::kPurgeAll);
    os::Timeouts timeouts;
    timeouts.readInterval = 0xFFFFFFFFu;
    timeouts.readTotalMultiplier = 0;
    timeouts.readTotalConstant = 1000;
    timeouts.writeTotalMultiplier = 0;
    timeouts.writeTotalConstant = 1000;
    serial.SetTimeouts(m_hPort, timeouts);

    int configured = ConfigurePort();
    if (configured == 0) {
        m_bConnected = 0;
        serial.Close(m_hPort);
        m_strError = "Setup Connection Error";
        return 0;
    }
    m_bConnected = 1;
    return configured;
}

int CComm::ConfigurePort() {
    os::LineSettings settings;
    if (!m_pPlatform->serial.GetLineSettings(m_hPort, settings)) {
        return 0;
    }
    settings.baudRate = m_nBaud;
    settings.byteSize = m_nByteSize;
    settings.parity = m_nParity;
    settings.stopBits = m_nStopBits;
    settings.binary = true;
    settings.parityCheck = true;
    settings.outxCtsFlow = false;
    settings.outxDsrFlow = false;
    settings.dtrControl = 1;  // DTR_CONTROL_ENABLE
    settings.rtsControl = 1;  // RTS_CONTROL_ENABLE
    settings.outX = true;
    settings.inX = true;
    settings.xonChar = 0x11;
    settings.xoffChar = 0x13;
    settings.xonLim = 100;
    settings.xoffLim = 100;
    return m_pPlatform->serial.SetLineSettings(m_hPort, settings) ? 1 : 0;
}

int CComm::ClosePort() {
    if (m_bConnected == 0) {
        return 1;
    }
    os::ISerial& serial = m_pPlatform->serial;
    m_bConnected = 0;
    serial.SetEventMask(m_hPort, 0);
    serial.ClearDtr(m_hPort);
    Purge(os::kPurgeAll);
    serial.Close(m_hPort);
    return 1;
}

int CComm::CloseAll() {
    if (m_bConnected == 1) {
        ClosePort();
    }
    if (m_osRead.event != 0) {
        m_pPlatform->serial.CloseIoEvent(m_osRead.event);
        m_osRead.event = 0;
    }
    if (m_osWrite.event != 0) {
        m_pPlatform->serial.CloseIoEvent(m_osWrite.event);
        m_osWrite.event = 0;
    }
    return 1;
}

void CComm::Purge(std::uint32_t flags) {
    if ((flags & os::kPurgeRxClear) != 0) {
        m_nInputFrom = m_nInputTo = 0;
    }
    m_pPlatform->serial.Purge(m_hPort, flags);
}

int CComm::ReadAvailable(char* buffer, int n) {
    if (m_bConnected == 0 || n <= 0) {
        return 0;
    }
    if (m_nInputFrom == m_nInputTo) {
        // One read for everything that waits; the frame readers take it from here byte by byte.
        m_nInputFrom = m_nInputTo = 0;
        const std::uint32_t waiting =
            std::min<std::uint32_t>(m_pPlatform->serial.BytesWaiting(m_hPort), sizeof(m_szInput));
        if (waiting == 0) {
            return 0;
        }
        std::uint32_t done = 0;
        if (!m_pPlatform->serial.Read(m_hPort, m_osRead, m_szInput, waiting, done)) {
            m_strError = "Read Error";
        }
        m_nInputTo = static_cast<int>(std::min<std::uint32_t>(done, waiting));
    }
    const int count = std::min(n, m_nInputTo - m_nInputFrom);
    std::memcpy(buffer, m_szInput + m_nInputFrom, static_cast<std::size_t>(count));
    m_nInputFrom += count;
    return count;
}

bool CComm::LinkLost() {
    CPrinterFamily* family = Family();
    return family != nullptr ? family->LinkLost() : SerialLost();
}

bool CComm::SerialLost() {
    return m_bConnected != 0 && m_pPlatform->serial.Lost(m_hPort);
}

bool CComm::LinkDown() {
    return m_bInterrupted != 0 || LinkLost();
}

int CComm::GetByte() {
    char byte = 0;
    if (ReadAvailable(&byte, 1) == 1) {
        return static_cast<unsigned char>(byte);
    }
    return -1;
}

void CComm::IdleForInput(std::uint32_t deadline) {
    os::IClock& clock = m_pPlatform->clock;
    const os::Handle wake = m_bConnected != 0 ? m_pPlatform->serial.WakeHandle(m_hPort) : 0;
    if (LinkDown()) {
        return;  // the device was found gone while its read-ahead started: the next pass ends the wait
    }
    if (wake == 0 && m_bConnected != 0) {
        // An open device that cannot wake the wait (its read-ahead could not start) is looked at
        // again after a millisecond, so that its bytes are still seen in time.
        const std::uint32_t soon = clock.Ticks() + 1;
        clock.IdleUntil(os::Ahead(soon, deadline) != 0 ? soon : deadline, 0);
        return;
    }
    clock.IdleUntil(deadline, wake);
}

int CComm::WaitByte(std::int32_t timeoutMs) {
    os::IClock& clock = m_pPlatform->clock;
    const std::uint32_t start = clock.Ticks();
    const std::uint32_t deadline = start + static_cast<std::uint32_t>(timeoutMs) + 1;
    for (bool idled = false;; idled = true) {
        int byte = GetByte();
        if (byte >= 0) {
            return byte;
        }
        if (LinkDown()) {
            return -1;  // nothing can come any more
        }
        // A pass dispatches one message after its wait, not before: the wait ends at once for a
        // message already queued, and a pass whose wait ended with the byte looks at no queue (under
        // Wine each look is a server request and a yield of the processor).
        if (idled) {
            m_pPlatform->pump.DispatchOne();
        }
        if (os::TimedOut(start, clock.Ticks(), timeoutMs)) {
            return -1;
        }
        IdleForInput(deadline);
    }
}

int CComm::WaitData(char* buffer, int n, std::int32_t timeoutMs) {
    os::IClock& clock = m_pPlatform->clock;
    const std::uint32_t start = clock.Ticks();
    const std::uint32_t deadline = start + static_cast<std::uint32_t>(timeoutMs) + 1;
    for (;;) {
        m_pPlatform->pump.DispatchOne();
        if (os::TimedOut(start, clock.Ticks(), timeoutMs)) {
            return 0;
        }
        int count = ReadAvailable(buffer, n);
        if (count >= 1) {
            return count;
        }
        if (LinkDown()) {
            return 0;
        }
        IdleForInput(deadline);
    }
}

int CComm::TailGapMs() const {
    // Start bit, data bits, parity bit, stop bits (code 0: one, 1: one and a half, 2: two).
    const std::uint64_t halfBits = 2u * (1u + m_nByteSize + (m_nParity != 0 ? 1u : 0u)) + 2u + m_nStopBits;
    const std::uint64_t baud = std::max<std::uint32_t>(m_nBaud, 1);
    const std::uint64_t ms = (16u * halfBits * 1000u + 2u * baud - 1u) / (2u * baud);
    return static_cast<int>(std::clamp<std::uint64_t>(ms, 2, 1000));
}

std::uint16_t CComm::PeekKey() {
    os::KeyMessage key;
    if (m_pPlatform->pump.PeekKeyMessage(key) && key.message == os::kWmKeyDown) {
        return static_cast<std::uint16_t>(key.wParam & 0xFFFF);
    }
    return 0;
}

int CComm::RawWrite(const char* bytes, int count) {
    if (count < 0) {
        return 0;
    }
    std::vector<char> copy(static_cast<std::size_t>(count) + 1, '\0');
    std::memcpy(copy.data(), bytes, static_cast<std::size_t>(count));
    std::string record(static_cast<std::size_t>(count) + 32, '\0');
    int length =
        std::snprintf(record.data(), record.size(), "LEN=%4d bytes, DATA=[[%s]]\n", count, copy.data());
    record.resize(static_cast<std::size_t>(std::max(length, 0)));
    TraceData(std::move(record));

    if (m_bConnected == 0 || LinkDown()) {
        return 0;
    }
    std::uint32_t done = 0;
    if (!m_pPlatform->serial.Write(m_hPort, m_osWrite, bytes, static_cast<std::uint32_t>(count), done)) {
        return 0;
    }
    return static_cast<int>(done);
}

int CComm::WriteText(const char* text) {
    int remaining = static_cast<int>(std::strlen(text));
    while (remaining > 0) {
        int block = std::min(remaining, kBlockBytes);
        RawWrite(text, block);
        remaining -= block;
        if (remaining == 0 || LinkDown()) {
            break;
        }
        text += block;
        m_pPlatform->clock.Sleep(timing::kBlockPauseMs);
    }
    return 1;
}

int CComm::WriteTextCts(const char* text) {
    // While the family is not known, CTS counts.
    if (CPrinterFamily* family = Family(); family != nullptr && !family->WritesWaitForCts()) {
        WriteText(text);
        return 1;
    }
    for (int poll = 1;; ++poll) {
        std::uint32_t status = 0;
        if (!m_pPlatform->serial.ModemStatus(m_hPort, status)) {
            return 0;
        }
        if ((status & os::kModemCtsOn) != 0 || LinkDown()) {
            break;
        }
        m_pPlatform->clock.Sleep(timing::kCtsPollMs);
        if (poll == timing::kCtsPolls) {
            break;
        }
    }
    return WriteText(text);
}

int CComm::StripColons(char* buffer, int length) {
    // Callers pass at most 100 bytes; anything beyond is left as it is.
    length = std::clamp(length, 0, kStripLimit);
    char kept[kStripLimit] = {};
    int count = 0;
    for (int i = 0; i < length; ++i) {
        if (buffer[i] != ':') {
            kept[count++] = buffer[i];
        }
    }
    std::memcpy(buffer, kept, static_cast<std::size_t>(length));
    buffer[count] = '\0';
    return count;
}

int CComm::TraceData(std::string record) {
    (void)record;
    return 1;
}
