#include "tests/fake_printer_library/fake_printer_native.h"

namespace fake {

namespace {

CFakePrinterLibrary* g_pInstalled = nullptr;

CFakePrinterLibrary& Core() {
    static CFakePrinterLibrary fallback;
    return g_pInstalled != nullptr ? *g_pInstalled : fallback;
}

LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_ENTRY)

}  // namespace

void Install(CFakePrinterLibrary* core) {
    g_pInstalled = core;
}

// Each function is converted to the driver's pointer type first: one of another type does not compile.
const sim::CSimLibraryLoader::Exports& Exports() {
#define LODEVAR_FAKE_EXPORT(name, type) {#name, reinterpret_cast<os::Proc>(static_cast<type>(&name))},
    static const sim::CSimLibraryLoader::Exports exports = {
        LODEVAR_PRINTER_LIBRARY_ENTRIES(LODEVAR_FAKE_EXPORT)};
#undef LODEVAR_FAKE_EXPORT
    return exports;
}

void Register(sim::CSimLibraryLoader& loader, const std::string& fullPath, const char* omit) {
    sim::CSimLibraryLoader::Exports exports = Exports();
    exports.erase(omit != nullptr ? omit : "");
    loader.Register(fullPath, std::move(exports));
}

}  // namespace fake
