#include "comm/comm.h"

#include "comm/printer_family.h"

CComm::CComm(os::Platform& platform) : m_pPlatform(&platform) {
    CreateEvents();
}

CComm::~CComm() {
    UnloadPrinterLibrary();
    CloseAll();
}
