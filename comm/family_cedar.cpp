// Family 2 printers (Cedar) are driven through the printer maker's library (library.cpp binds
// it): the driver writes nothing to a port of its own, the library has no status exchange, and
// only a few operations reach the library at all.
#include <cstdio>
#include <cstring>

#include "base/status_codes.h"
#include "comm/comm.h"
#include "comm/printer_family.h"
#include "comm/timing.h"
#include "device/texts.h"

namespace {

class CCedarFamily final : public CPrinterFamily {
public:
    using CPrinterFamily::CPrinterFamily;

    int OpenDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize, std::uint8_t stopBits,
                   std::uint8_t parity) override;
    bool WritesWaitForCts() const override { return true; }
    // The library said during a paper-in wait since the last open that the printer is not on.
    bool LinkLost() override { return m_bLost; }

    // Nothing of this family asks for a status; a request made anyway goes out as family 1's.
    void SendStatusRequest() override { m_comm.WriteTextCts(command::kStatusRequestBirch); }
    int QueryStatus() override { return status::ERR_PBPROFF; }

    void Initialise() override {
        if (m_comm.m_bLibLoaded == 1 && m_comm.m_pWriteCommand != nullptr) {
            m_comm.m_pWriteCommand(command::kInitialise);
        }
    }
    int PaperIn(int kind) override;
    void PaperOut() override {
        if (m_comm.m_bLibLoaded == 1 && m_comm.m_pExpelPaper != nullptr) {
            m_comm.m_pExpelPaper();
        }
    }
    // The library's print entry point has no fixed use here: positions, colour, pitch, size and
    // face reach nothing, a passbook print reports done and a chit print -1.
    void SetColumn(int /*column*/) override {}
    void SetRow(int /*row*/) override {}
    void SetColour(bool /*red*/) override {}
    void SetPitch(int /*cpi*/, int /*lpi*/) override {}
    void SetCharacterSize(bool /*enlarged*/) override {}
    void SetFontFace(int /*face*/) override {}
    int MsrRead(char* buffer, int capacity) override { return ReadStripe(buffer, capacity); }
    int MsrPoll(char* buffer, int capacity) override { return ReadStripe(buffer, capacity); }
    int MsrWrite(const char* data) override;
    int PrintPassbook(const char* /*text*/) override { return status::DONE; }
    int PrintChit(const char* /*text*/) override { return -1; }
    // The library chooses the medium path itself.
    void SendClear() override {}
    void SelectPassbook() override {}
    void SelectChit() override {}

private:
    int ReadStripe(char* buffer, int capacity);

    bool m_bLost = false;
};

int CCedarFamily::OpenDevice(std::uint8_t port, std::uint32_t /*baud*/, std::uint8_t /*byteSize*/,
                             std::uint8_t /*stopBits*/, std::uint8_t /*parity*/) {
    m_bLost = false;
    if (m_comm.m_bLibLoaded == 0 && m_comm.LoadPrinterLibrary() == 0) {
        return 0;
    }
    if (port == 2) {
        m_comm.m_pSetPrtPortID("COM2");
    }
    m_comm.m_pWriteCommand(command::kInitialise);
    if (m_comm.m_pPrtIsPowerOn() == 1) {
        return 1;
    }
    Platform().desktop.MessageBoxOk(text::kPowerOff, text::kPrinterErrorCaption);
    return 0;
}

int CCedarFamily::PaperIn(int /*kind: the library takes in whatever comes*/) {
    if (m_comm.m_bLibLoaded != 1 || m_comm.m_pOpenPbpr == nullptr) {
        return 0;
    }
    for (int calls = 1;; ++calls) {
        Clock().Sleep(timing::kPaperInPauseMs);
        int answer = m_comm.m_pOpenPbpr(12, 5, 1, 160);
        if (answer == 1 || answer == 16) {
            return status::DONE;
        }
        if (answer == 9) {
            return 0;
        }
        // A library that keeps answering "not yet" for a printer that was switched off or pulled
        // out would keep the driver here for good: the library's own power check tells the two apart.
        if (calls % timing::kPaperInCallsPerPowerCheck == 0 && m_comm.m_pPrtIsPowerOn != nullptr &&
            m_comm.m_pPrtIsPowerOn() != 1) {
            m_bLost = true;
            return 0;
        }
    }
}

int CCedarFamily::ReadStripe(char* buffer, int capacity) {
    if (m_comm.m_bLibLoaded != 1 || m_comm.m_pOpenMsrw == nullptr || m_comm.m_pReadMsrw == nullptr) {
        return 0;
    }
    if (m_comm.m_pOpenMsrw() != 1) {
        return 0;
    }
    char data[kLibraryBufferBytes] = {};
    if (m_comm.m_pReadMsrw(data) != 1) {
        return 0;
    }
    data[kLibraryBufferBytes - 1] = '\0';  // a library that fills the buffer to the end is cut there
    if (data[0] == '\0' || buffer == nullptr || capacity <= 0) {
        return 0;
    }
    // The first character is not stripe data.
    std::size_t count = std::strlen(data + 1);
    if (count > static_cast<std::size_t>(capacity - 1)) {
        count = static_cast<std::size_t>(capacity - 1);
    }
    std::memcpy(buffer, data + 1, count);
    buffer[count] = '\0';
    return status::DONE;
}

int CCedarFamily::MsrWrite(const char* data) {
    if (m_comm.m_bLibLoaded != 1 || m_comm.m_pWriteMsrw == nullptr) {
        return 0;
    }
    char command[kLibraryBufferBytes];
    std::snprintf(command, sizeof(command), ":%s", data);
    int code = m_comm.m_pWriteMsrw(command);
    m_comm.SetErrorText(code);
    return Done(code, status::BANK_TONGJN);
}

}  // namespace

std::unique_ptr<CPrinterFamily> MakeCedarFamily(CComm& comm) {
    return std::make_unique<CCedarFamily>(comm);
}
