#include "tests/fake_printer_library/fake_printer_native.h"

#include <cstring>

namespace fake {

namespace {

CFakePrinterLibrary* g_pInstalled = nullptr;

CFakePrinterLibrary& Core() {
    static CFakePrinterLibrary fallback;
    return g_pInstalled != nullptr ? *g_pInstalled : fallback;
}

#define LODEVAR_FAKE_FORWARD(name, parameters, arguments) \
    int name parameters {                                 \
        return Core().name arguments;                     \
    }
LODEVAR_FAKE_ENTRY_POINTS(LODEVAR_FAKE_FORWARD)
#undef LODEVAR_FAKE_FORWARD

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
