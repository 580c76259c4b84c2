#include "os/sim/sim_serial.h"

namespace sim {

void CSimSerial::Attach(const std::string& deviceName, emu::ISerialPeer* printer) {
    m_attached[deviceName] = printer;
    m_unplugged.erase(deviceName);
}

void CSimSerial::Unplug(const std::string& deviceName) {
    m_unplugged[deviceName] = true;
    for (auto& [handle, port] : m_open) {
        if (port.name == deviceName) {
            port.unplugged = true;
        }
    }
}

std::string CSimSerial::Written() const {
    std::string all;
    for (const WireRecord& record : m_wire) {
        if (record.toPrinter) {
            all += record.bytes;
        }
    }
    return all;
}

bool CSimSerial::IsOpen(os::Handle device) const {
    return m_open.count(device) != 0;
}

CSimSerial::Port* CSimSerial::Find(os::Handle device) {
    auto it = m_open.find(device);
    return it == m_open.end() ? nullptr : &it->second;
}

void CSimSerial::Log(bool toPrinter, const void* bytes, std::uint32_t n) {
    const char* text = static_cast<const char*>(bytes);
    if (!m_wire.empty() && m_wire.back().toPrinter == toPrinter && m_wire.back().time == m_clock.Ticks()) {
        m_wire.back().bytes.append(text, n);
        return;
    }
    m_wire.push_back(WireRecord{m_clock.Ticks(), toPrinter, std::string(text, n)});
}

os::Handle CSimSerial::CreateIoEvent() {
    if (m_faults.eventsBeforeFailure == 0) {
        return 0;
    }
    if (m_faults.eventsBeforeFailure > 0) {
        --m_faults.eventsBeforeFailure;
    }
    ++m_nLiveEvents;
    return m_hNext++;
}

void CSimSerial::CloseIoEvent(os::Handle event) {
    if (event != 0) {
        --m_nLiveEvents;
    }
}

os::Handle CSimSerial::Open(const char* deviceName) {
    ++m_calls.open;
    m_opened.emplace_back(deviceName);
    auto it = m_attached.find(deviceName);
    if (it == m_attached.end()) {
        return 0;
    }
    for (const auto& [handle, port] : m_open) {
        if (port.name == deviceName) {
            return 0;  // not shared: a second open of the same device fails
        }
    }
    os::Handle handle = m_hNext++;
    Port port;
    port.name = deviceName;
    port.printer = it->second;
    port.unplugged = m_unplugged.count(deviceName) != 0;
    port.settings.baudRate = 1200;
    m_open[handle] = port;
    return handle;
}

bool CSimSerial::SetEventMask(os::Handle device, std::uint32_t mask) {
    m_nLastMask = mask;
    return Find(device) != nullptr;
}

bool CSimSerial::SetupQueues(os::Handle device, std::uint32_t, std::uint32_t) {
    return Find(device) != nullptr;
}

void CSimSerial::Settle(Port& port) {
    std::uint8_t byte = 0;
    if (port.reading && !port.unplugged && port.printer != nullptr &&
        port.printer->Read(&byte, 1, m_clock.Ticks()) == 1) {
        port.held = byte;
        port.reading = false;
    }
}

bool CSimSerial::Purge(os::Handle device, std::uint32_t flags) {
    ++m_calls.purge;
    m_nLastPurge = flags;
    Port* port = Find(device);
    if (port == nullptr) {
        return false;
    }
    if ((flags & os::kPurgeRxClear) != 0) {
        Settle(*port);
        port->held = -1;
        if (port->printer != nullptr && !port->unplugged) {
            port->printer->PurgeReadable(m_clock.Ticks());
        }
    }
    if ((flags & os::kPurgeRxAbort) != 0) {
        port->reading = false;
    }
    return true;
}

bool CSimSerial::SetTimeouts(os::Handle device, const os::Timeouts& timeouts) {
    m_lastTimeouts = timeouts;
    return Find(device) != nullptr;
}

bool CSimSerial::GetLineSettings(os::Handle device, os::LineSettings& settings) {
    Port* port = Find(device);
    if (port == nullptr) {
        return false;
    }
    settings = port->settings;
    return true;
}

bool CSimSerial::SetLineSettings(os::Handle device, const os::LineSettings& settings) {
    Port* port = Find(device);
    if (port == nullptr || m_faults.setLineSettings || settings.baudRate < m_faults.rejectBaudBelow) {
        return false;
    }
    port->settings = settings;
    m_lastSettings = settings;
    return true;
}

std::uint32_t CSimSerial::BytesWaiting(os::Handle device) {
    Port* port = Find(device);
    if (port == nullptr || port->unplugged || port->printer == nullptr) {
        return 0;
    }
    Settle(*port);
    return (port->held >= 0 ? 1u : 0u) + static_cast<std::uint32_t>(port->printer->Readable(m_clock.Ticks()));
}

bool CSimSerial::Read(os::Handle device, os::IoBlock&, void* buffer, std::uint32_t n, std::uint32_t& done) {
    done = 0;
    Port* port = Find(device);
    if (port == nullptr || port->unplugged || port->printer == nullptr || m_faults.read) {
        return false;
    }
    Settle(*port);
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    if (port->held >= 0 && n > 0) {
        bytes[done++] = static_cast<std::uint8_t>(port->held);
        port->held = -1;
    }
    done += static_cast<std::uint32_t>(port->printer->Read(bytes + done, n - done, m_clock.Ticks()));
    if (done > 0) {
        Log(false, buffer, done);
    }
    return true;
}

os::Handle CSimSerial::WakeHandle(os::Handle device) {
    Port* port = Find(device);
    if (port == nullptr || port->unplugged || port->printer == nullptr) {
        return 0;
    }
    port->reading = port->reading || port->held < 0;
    Settle(*port);
    return device;
}

bool CSimSerial::Signalled(os::Handle wake) {
    Port* port = Find(wake);
    if (port == nullptr) {
        return false;
    }
    Settle(*port);
    return port->held >= 0;
}

bool CSimSerial::NextSignal(os::Handle wake, std::uint32_t& time) {
    Port* port = Find(wake);
    return port != nullptr && port->reading && !port->unplugged && port->printer != nullptr &&
           port->printer->NextArrival(m_clock.Ticks(), time);
}

int CSimSerial::ReadsUnderWay() const {
    int count = 0;
    for (const auto& [handle, port] : m_open) {
        count += port.reading ? 1 : 0;
    }
    return count;
}

bool CSimSerial::Write(os::Handle device, os::IoBlock&, const void* bytes, std::uint32_t n,
                       std::uint32_t& done) {
    ++m_calls.write;
    done = 0;
    Port* port = Find(device);
    if (port == nullptr || port->unplugged || port->printer == nullptr) {
        return false;
    }
    Log(true, bytes, n);
    port->printer->Write(static_cast<const std::uint8_t*>(bytes), n, m_clock.Ticks());
    done = n;
    return true;
}

bool CSimSerial::ModemStatus(os::Handle device, std::uint32_t& status) {
    ++m_calls.modemStatus;
    status = 0;
    Port* port = Find(device);
    if (port == nullptr || port->unplugged || m_faults.modemStatus) {
        return false;
    }
    if (port->printer != nullptr && port->printer->Cts(m_clock.Ticks())) {
        status |= os::kModemCtsOn;
    }
    return true;
}

bool CSimSerial::ClearDtr(os::Handle device) {
    ++m_calls.clearDtr;
    return Find(device) != nullptr;
}

void CSimSerial::Close(os::Handle device) {
    ++m_calls.close;
    m_open.erase(device);
}

bool CSimSerial::Lost(os::Handle device) {
    // A pulled cable fails every transfer of the open device, as a port that is gone does.
    Port* port = Find(device);
    return port != nullptr && port->unplugged;
}

}  // namespace sim
