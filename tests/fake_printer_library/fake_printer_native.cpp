#include "tests/fake_printer_library/fake_printer_native.h"

#include <cstring>

namespace fake {

namespace {

CFakePrinterLibrary* g_pInstalled = nullptr;

CFakePrinterLibrary& Core() {
    static CFakePrinterLibrary fallback;
    return g_pInstalled != nullptr ? *g_pInstalled : fallback;
}

int OpenPbpr(int a, int b, int c, int d) {
    return Core().OpenPbpr(a, b, c, d);
}
int WriteCommand(const char* command) {
    return Core().WriteCommand(command);
}
int WriteOnlineCommand(const char* command) {
    return Core().WriteOnlineCommand(command);
}
int PrintPbprData(const char* data) {
    return Core().PrintPbprData(data);
}
int OpenMsrw() {
    return Core().OpenMsrw();
}
int ReadMsrw(char* buffer) {
    return Core().ReadMsrw(buffer);
}
int WriteMsrw(const char* data) {
    return Core().WriteMsrw(data);
}
int ExpelPaper() {
    return Core().ExpelPaper();
}
int SetPrtPortID(const char* port) {
    return Core().SetPrtPortID(port);
}
int GetPrtPortID(char* buffer) {
    return Core().GetPrtPortID(buffer);
}
int InitPrinterEnv() {
    return Core().InitPrinterEnv();
}
int CheckPrtSelfID() {
    return Core().CheckPrtSelfID();
}
int PrtIsPowerOn() {
    return Core().PrtIsPowerOn();
}
int OpenComm() {
    return Core().OpenComm();
}
int PrinterInit() {
    return Core().PrinterInit();
}
int CloseComm() {
    return Core().CloseComm();
}
int EjectPaper() {
    return Core().EjectPaper();
}
int FilePrinting(const char* path) {
    return Core().FilePrinting(path);
}

}  // namespace

void Install(CFakePrinterLibrary* core) {
    g_pInstalled = core;
}

// Each pointer is initialised from a function of the same name: a function whose type is not the
// driver's pointer type does not compile.
namespace native {
#define LODEVAR_FAKE_DEFINE(name, type) const type name = &fake::name;
LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_DEFINE)
#undef LODEVAR_FAKE_DEFINE
}  // namespace native

void Register(sim::CSimLibraryLoader& loader, const std::string& fullPath, const char* omit) {
    sim::CSimLibraryLoader::Exports exports;
#define LODEVAR_FAKE_EXPORT(name, type)                            \
    if (omit == nullptr || std::strcmp(omit, #name) != 0) {        \
        exports[#name] = reinterpret_cast<os::Proc>(native::name); \
    }
    LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_EXPORT)
#undef LODEVAR_FAKE_EXPORT
    loader.Register(fullPath, std::move(exports));
}

}  // namespace fake
