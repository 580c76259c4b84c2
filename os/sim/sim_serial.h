#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "emu/serial_peer.h"
#include "os/clock.h"
#include "os/serial.h"

namespace sim {

// Serial devices for tests: each device name can be wired to an emulated printer. Every call can
// be made to fail, and every byte that crosses the wire is logged with its virtual time.
//
// The read-ahead behind WakeHandle is modelled as on Windows: a one-byte read under way takes the
// first byte that arrives and holds it; a purge of the input drops the held byte but leaves a read
// under way waiting; a purge with PURGE_RXABORT and Close cancel it. (Under Wine PURGE_RXABORT
// leaves it under way, and a read that finds nothing within the device's read time-out ends empty
// and is started again by the next wait; neither changes what a wait sees or when, so neither is
// modelled.) The wake handle of a device is its device handle.
class CSimSerial : public os::ISerial {
public:
    explicit CSimSerial(os::IClock& clock) : m_clock(clock) {}

    // Wires a device name ("COM1", "\\.\TELNET") to a peer. A name with no printer cannot be
    // opened, as a missing port.
    void Attach(const std::string& deviceName, emu::ISerialPeer* printer);
    // Pulls the cable: the device stays open but reads, writes and the modem status fail.
    void Unplug(const std::string& deviceName);

    struct Faults {
        int eventsBeforeFailure = -1;  // CreateIoEvent fails after this many successes; -1: never
        bool setLineSettings = false;
        bool modemStatus = false;
        bool read = false;
        std::uint32_t rejectBaudBelow = 1;  // line settings with a lower rate are refused
    };
    Faults& Fail() { return m_faults; }

    struct WireRecord {
        std::uint32_t time;
        bool toPrinter;  // false: from the peer
        std::string bytes;
    };
    const std::vector<WireRecord>& Wire() const { return m_wire; }
    // Everything written to the peer since the log began, concatenated.
    std::string Written() const;
    void ClearWire() { m_wire.clear(); }

    struct Calls {
        int open = 0;
        int modemStatus = 0;
        int purge = 0;
        int close = 0;
        int clearDtr = 0;
        int write = 0;
    };
    const Calls& Count() const { return m_calls; }
    const std::vector<std::string>& OpenedNames() const { return m_opened; }
    // The settings of the most recent open device (for tests of the line settings).
    const os::LineSettings& LastSettings() const { return m_lastSettings; }
    const os::Timeouts& LastTimeouts() const { return m_lastTimeouts; }
    std::uint32_t LastEventMask() const { return m_nLastMask; }
    std::uint32_t LastPurge() const { return m_nLastPurge; }
    bool IsOpen(os::Handle device) const;

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

    // For the simulated clock: whether the wake handle is signalled at the time now (the read-ahead
    // holds a byte), and when a read-ahead under way next takes one.
    bool Signalled(os::Handle wake);
    bool NextSignal(os::Handle wake, std::uint32_t& time);
    // Read-aheads under way on open devices (none after Close).
    int ReadsUnderWay() const;

    int LiveEvents() const { return m_nLiveEvents; }

private:
    struct Port {
        std::string name;
        emu::ISerialPeer* printer = nullptr;
        bool unplugged = false;
        os::LineSettings settings;
        bool reading = false;  // a read-ahead is under way
        int held = -1;         // the byte the read-ahead took, or -1
    };
    Port* Find(os::Handle device);
    // A read-ahead under way takes the first byte that has arrived by now.
    void Settle(Port& port);
    void Log(bool toPrinter, const void* bytes, std::uint32_t n);

    os::IClock& m_clock;
    std::map<std::string, emu::ISerialPeer*> m_attached;
    std::map<std::string, bool> m_unplugged;
    std::map<os::Handle, Port> m_open;
    os::Handle m_hNext = 0x100;
    int m_nLiveEvents = 0;
    Faults m_faults;
    std::vector<WireRecord> m_wire;
    Calls m_calls;
    std::vector<std::string> m_opened;
    os::LineSettings m_lastSettings;
    os::Timeouts m_lastTimeouts;
    std::uint32_t m_nLastMask = 0;
    std::uint32_t m_nLastPurge = 0;
};

}  // namespace sim
