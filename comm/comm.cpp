#include "comm/comm.h"

CComm::CComm(os::Platform& platform) : m_pPlatform(&platform) {
    CreateEvents();
}

CComm::~CComm() {
    UnloadPrinterLibrary();
    CloseAll();
}
