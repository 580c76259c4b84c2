#pragma once

#include <cstddef>
#include <cstdint>

namespace emu {

// The far end of a serial line, as the driver's port sees it. Times are milliseconds on the
// caller's clock (virtual in tests, real on a pseudo-terminal).
class ISerialPeer {
public:
    virtual ~ISerialPeer() = default;

    // The driver wrote these bytes at `now`.
    virtual void Write(const std::uint8_t* bytes, std::size_t n, std::uint32_t now) = 0;
    // How many bytes have arrived in the driver's input queue by `now`.
    virtual std::size_t Readable(std::uint32_t now) = 0;
    // Takes up to n of the bytes that have arrived by `now`.
    virtual std::size_t Read(std::uint8_t* out, std::size_t n, std::uint32_t now) = 0;
    // The driver purged its input queue: what has arrived by `now` is dropped.
    virtual void PurgeReadable(std::uint32_t now) = 0;
    // When the next byte arrives that has not arrived by `now`; false when none is on its way. Bytes
    // that have arrived but wait unread do not count: a simulated clock that waited for them would
    // stand still.
    virtual bool NextArrival(std::uint32_t now, std::uint32_t& time) const = 0;
    // The state of the CTS line at `now`.
    virtual bool Cts(std::uint32_t now) = 0;
};

}  // namespace emu
