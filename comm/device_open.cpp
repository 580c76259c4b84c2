// Bringing the link up for the family in use: the family's own way (the printer library for
// family 2), or the serial port with a probe and an initialise.
#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "device/texts.h"

int CComm::OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                      std::uint8_t parity) {
    if (CPrinterFamily* family = Family()) {
        return family->OpenDevice(port, baud, byteSize, stopBits, parity);
    }
    return OpenSerialDevice(port, baud, byteSize, stopBits, parity);
}

int CComm::OpenSerialDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize,
                            std::uint8_t stopBits, std::uint8_t parity) {
    if (m_bConnected != 0) {
        ClosePort();
    }
    if (OpenPort(port, baud, byteSize, stopBits, parity) == 0) {
        return 0;
    }
    if (!EnsureFamily()) {
        m_strError = text::kNoPrinter;
        ClosePort();
        return status::ERR_PBPROFF;
    }
    if (InitPrinter() == status::ERR_PBPROFF) {
        m_strError = text::kNoPrinter;
        ClosePort();
        return status::ERR_PBPROFF;
    }
    return 1;
}
