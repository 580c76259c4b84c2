#pragma once

// Status codes: the printer's status bytes as the protocol reads them, plus the driver's own
// results. Each code may have a name (used as a trace tag) and a Korean status text.

namespace status {

constexpr int DONE = 1;  // the operation was carried out
constexpr int NOTHING_DONE = 0;

constexpr int ERR_ROWOVER = 16;
constexpr int ERR_DATOVER = 18;
constexpr int CANCELLED = 27;  // the operator pressed the cancel key; the code has no name
constexpr int ERR_RCUNITS = 33;
constexpr int ERR_PGSENSE = 34;
constexpr int ERR_CRIBBON = 36;
constexpr int ERR_COLOVER = 40;
constexpr int ERR_PAPERJM = 49;
constexpr int ERR_NOPAPER = 50;
constexpr int ERR_NOEXIST = 52;
constexpr int ERR_COMMAND = 56;
constexpr int BANK_TONGJN = 65;
constexpr int BANK_JUNPYO = 66;
constexpr int BANK_CHITIN = 67;
constexpr int BANK_NORMAL = 80;
constexpr int BANK_LASTOK = 84;
constexpr int BANK_ACTING = 85;
constexpr int ERR_PAPOVER = 88;
constexpr int ERR_RCVOVER = 97;
constexpr int ERR_MSRRDWR = 113;
constexpr int ERR_MSRREAD = 114;
constexpr int ERR_UFORMAT = 127;
constexpr int BANK_MSR_NO = 133;
constexpr int BANK_MSR_OK = 134;
constexpr int BANK_END_DETECT = 135;
constexpr int ERR_GARBAGE = 144;
constexpr int ERR_UNKNOWN = 241;
constexpr int ERR_PBPROFF = 242;

// The code's name ("ERR_PBPROFF"), or nullptr when it has none.
const char* Name(int code);
// The code's status text in code page 949, or nullptr when it has none.
const char* Text(int code);

}  // namespace status
