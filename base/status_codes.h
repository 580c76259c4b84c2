#pragma once

// The protocol part of the kit's header only: the driver's core sees no windows.h.
#define LVC_PROTOCOL_ONLY
#include "client/lodevar_client.h"
#undef LVC_PROTOCOL_ONLY

// Status codes: the printer's status bytes as the protocol reads them, plus the driver's own
// results. Each code may have a name (used as a trace tag) and a Korean status text. The codes and
// their names are the client kit's (LVC_STATUS_CODES), so that the driver and its clients cannot
// disagree: status::ERR_NOPAPER is LVC_ERR_NOPAPER.

namespace status {

constexpr int DONE = LVC_DONE;  // the operation was carried out
constexpr int NOTHING_DONE = LVC_NOTHING_DONE;
constexpr int CANCELLED = LVC_CANCELLED;  // the operator pressed the cancel key; the code has no name

#define LODEVAR_STATUS_CONSTANT(code, name) constexpr int name = code;
LVC_STATUS_CODES(LODEVAR_STATUS_CONSTANT)
#undef LODEVAR_STATUS_CONSTANT

// The code's name ("ERR_PBPROFF"), or nullptr when it has none.
const char* Name(int code);
// The code's status text in code page 949, or nullptr when it has none.
const char* Text(int code);

}  // namespace status
