#pragma once

// The entry points of the printer maker's library, one list: export name, pointer type. The
// driver binds them by name in this order and calls only a few of them; the others must merely
// be present. The pointer types are ours, written from what the driver passes and relies on.

#if defined(_WIN32) && !defined(_WIN64)
#define LODEVAR_WINAPI __stdcall
#else
#define LODEVAR_WINAPI
#endif

// The buffer the driver hands ReadMsrw to fill, and the one it writes WriteMsrw's text into.
constexpr int kLibraryBufferBytes = 512;

using PbprOpenPbpr = int(LODEVAR_WINAPI*)(int, int, int, int);
using PbprTextCall = int(LODEVAR_WINAPI*)(const char*);
using PbprBufferCall = int(LODEVAR_WINAPI*)(char*);
using PbprPlainCall = int(LODEVAR_WINAPI*)();

// X(export name, pointer type)
#define LODEVAR_PRINTER_LIBRARY_ENTRIES(X) \
    X(OpenPbpr, PbprOpenPbpr)              \
    X(WriteCommand, PbprTextCall)          \
    X(WriteOnlineCommand, PbprTextCall)    \
    X(PrintPbprData, PbprTextCall)         \
    X(OpenMsrw, PbprPlainCall)             \
    X(ReadMsrw, PbprBufferCall)            \
    X(WriteMsrw, PbprTextCall)             \
    X(ExpelPaper, PbprPlainCall)           \
    X(SetPrtPortID, PbprTextCall)          \
    X(GetPrtPortID, PbprBufferCall)        \
    X(InitPrinterEnv, PbprPlainCall)       \
    X(CheckPrtSelfID, PbprPlainCall)       \
    X(PrtIsPowerOn, PbprPlainCall)         \
    X(OpenComm, PbprPlainCall)             \
    X(PrinterInit, PbprPlainCall)          \
    X(CloseComm, PbprPlainCall)            \
    X(EjectPaper, PbprPlainCall)           \
    X(FilePrinting, PbprTextCall)
