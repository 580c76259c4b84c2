// Where the families are chosen, and the steps of the link that every family builds on.
#include "comm/printer_family.h"

#include "base/status_codes.h"
#include "comm/comm.h"

// Each family's file makes its object.
std::unique_ptr<CPrinterFamily> MakeAlderFamily(CComm& comm);
std::unique_ptr<CPrinterFamily> MakeBirchFamily(CComm& comm);
std::unique_ptr<CPrinterFamily> MakeCedarFamily(CComm& comm);

std::unique_ptr<CPrinterFamily> ChooseFamily(int family, CComm& comm) {
    switch (family) {
        case 0:
            return MakeAlderFamily(comm);
        case 1:
            return MakeBirchFamily(comm);
        case 2:
            return MakeCedarFamily(comm);
        default:
            return nullptr;
    }
}

os::Platform& CPrinterFamily::Platform() {
    return *m_comm.m_pPlatform;
}

os::IClock& CPrinterFamily::Clock() {
    return m_comm.m_pPlatform->clock;
}

bool CPrinterFamily::Cancelled() {
    return m_comm.Cancelled();
}

void CPrinterFamily::PurgeInput() {
    m_comm.PurgeInput();
}

bool CPrinterFamily::SerialLost() {
    return m_comm.SerialLost();
}

int CPrinterFamily::OpenSerialDevice(std::uint8_t port, std::uint32_t baud, std::uint8_t byteSize,
                                     std::uint8_t stopBits, std::uint8_t parity) {
    return m_comm.OpenSerialDevice(port, baud, byteSize, stopBits, parity);
}

int CPrinterFamily::Done(int code, int wanted) {
    return code == wanted ? status::DONE : code;
}
