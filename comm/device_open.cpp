// Bringing the link up for the family in use: the serial port with a probe and an initialise for
// families 0 and 1, the printer library and its power check for family 2.
#include "base/status_codes.h"
#include "comm/comm.h"
#include "device/texts.h"

namespace {

constexpr char kInitialiseLibrary[] =
    "\x1b"
    "0";

}  // namespace

int CComm::OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                      std::uint8_t parity) {
    m_bLibraryLost = 0;
    if (m_nFamily == 2) {
        if (m_bLibLoaded == 0 && LoadPrinterLibrary() == 0) {
            return 0;
        }
        if (port == 2) {
            m_pSetPrtPortID("COM2");
        }
        m_pWriteCommand(kInitialiseLibrary);
        if (m_pPrtIsPowerOn() == 1) {
            return 1;
        }
        m_pPlatform->desktop.MessageBoxOk(text::kPowerOff, text::kPrinterErrorCaption);
        return 0;
    }

    if (m_bConnected != 0) {
        ClosePort();
    }
    if (OpenPort(port, baud, byteSize, stopBits, parity) == 0) {
        return 0;
    }
    if (m_nFamily == status::ERR_PBPROFF) {
        m_nFamily = ProbeFamily();
        if (m_nFamily == status::ERR_PBPROFF) {
            m_strError = text::kNoPrinter;
            ClosePort();
            return status::ERR_PBPROFF;
        }
    }
    if (InitPrinter() == status::ERR_PBPROFF) {
        m_strError = text::kNoPrinter;
        ClosePort();
        return status::ERR_PBPROFF;
    }
    return 1;
}
