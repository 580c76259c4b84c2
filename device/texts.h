#pragma once

#include "lodevar_texts.h"

// The driver's own Korean texts, as code page 949 bytes. Each is readable in the list
// client/lodevar_texts.txt, from which the build makes lodevar_texts.h. Status texts live with the
// status codes.

namespace text {

inline constexpr char kNoPrinter[] = LVC_CP949_NO_PRINTER;
inline constexpr char kPrinterErrorCaption[] = LVC_CP949_PRINTER_ERROR_CAPTION;
inline constexpr char kLibraryMissing[] = LVC_CP949_LIBRARY_MISSING;
inline constexpr char kPowerOff[] = LVC_CP949_POWER_OFF;
inline constexpr char kInitDone[] = LVC_CP949_INIT_DONE;
inline constexpr char kRetryQuestion[] = LVC_CP949_RETRY_QUESTION;
inline constexpr char kCloseQuestion[] = LVC_CP949_CLOSE_QUESTION;
// The tray's balloon and tip when the printer's link is lost.
inline constexpr char kLinkLost[] = LVC_CP949_LINK_LOST;
inline constexpr char kNone[] = LVC_CP949_NONE;
inline constexpr char kPassbookPrintTag[] = LVC_CP949_PASSBOOK_PRINT_TAG;
inline constexpr char kChitPrintTag[] = LVC_CP949_CHIT_PRINT_TAG;

}  // namespace text
