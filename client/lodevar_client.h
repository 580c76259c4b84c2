/* lodevar_client.h: the client kit of the Lodevar passbook-printer driver, for teller applications.
 *
 * A teller application never touches the printer. It finds the driver's hidden main window, registers
 * and gets a gate window of its own, and sends requests to that gate as fixed-width texts by
 * WM_COPYDATA: take in a passbook or a chit, print a line, read or write the magnetic stripe, wait for a
 * stripe, eject, reset. This kit does that in plain C, with nothing but windows.h. It comes two ways,
 * with the same functions:
 *   - lodevar_client.dll (x86 and x64): for any language that can call a DLL (C#, VB6, Delphi, Java,
 *     C++). Every function uses the __stdcall convention (LVC_API) and is exported by its plain name
 *     (lodevar_client.def lists them);
 *   - the static library (lodevar_client.c built into the program) for C and C++.
 *
 *   lvc_client* client = NULL;
 *   if (lvc_open(&client) == LVC_DONE && lvc_register(client) == LVC_DONE) {
 *       int result = lvc_paper_in(client, LVC_PASSBOOK);   // waits for the passbook
 *       if (result == LVC_DONE) result = lvc_print(client, 5, 10, LVC_FONT_GODIC, "hello");
 *       printf("%d %s\n", result, lvc_status_name(result));
 *   }
 *   lvc_close(client);                                     // releases the gate, frees the client
 *
 * Results. Every function answers an int:
 *   1 (LVC_DONE)          done;
 *   0 .. 255, -1          the driver's status code (LVC_ERR_..., LVC_BANK_...; lvc_status_name,
 *                         lvc_status_text); 0 means nothing done (an 'L' with no text, a letter the
 *                         driver does not know);
 *   LVC_E_... (< -1000)   the kit's own failures, which never come from the driver. LVC_E_ARGUMENT is
 *                         a caller's mistake found before anything is sent.
 * The driver also refuses requests that do not fit their block: 56 (ERR_COMMAND) for a block shorter
 * than its fixed fields or an 'L' at a negative position, 18 (ERR_DATOVER) for data longer than what
 * was sent or than the driver's buffers. A request that arrives while the printer is busy with another
 * exchange answers 85 (BANK_ACTING), or 242 while the driver is opening the device. The kit checks
 * the limits first, so a request built here meets none of these refusals.
 *
 * Waiting. Every wait is bounded. A request waits for its answer at most the client's time-out
 * (LVC_DEFAULT_TIMEOUT_MS unless lvc_set_timeout changed it); a paper-in waits until the teller
 * inserts the passbook, so keep that bound generous. While the kit waits it dispatches the window
 * messages of the calling thread: the driver sends the MSR advise reply and the end-of-print notice by
 * SendMessage, and a client that stopped dispatching would hold the driver up. Call lvc_pump from your
 * own message loop or idle time when you are not waiting in the kit. A client belongs to the thread
 * that opened it.
 *
 * A window thread that must not wait (it would show "Not Responding" for a whole passbook wait) uses
 * the _async variants: they return at once, the request runs on a thread of the kit's own, and its end
 * comes back on the client's thread, as a window message or a callback (lvc_set_completion), while that
 * thread goes on dispatching its messages.
 *
 * Text. The driver prints code page 949 (Korean) text. lvc_utf8_to_cp949 converts for lvc_print;
 * lvc_status_text answers UTF-8, lvc_status_copy UTF-8 or code page 949.
 *
 * The parts above the Windows section are plain C and need no windows.h (the kit's tests run them on
 * any system). They are the protocol's one definition: the driver is built from them too. A program
 * that wants them alone, without windows.h, defines LVC_PROTOCOL_ONLY before it includes this header
 * (and may include it again without, later, for the Windows section).
 */
#ifndef LODEVAR_CLIENT_H
#define LODEVAR_CLIENT_H

#include <stddef.h>

#ifdef _WIN32
#define LVC_API __stdcall
#else
#define LVC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- results --------------------------------------------------------------------------------- */

#define LVC_DONE 1
#define LVC_NOTHING_DONE 0
#define LVC_FAILED (-1) /* a printer operation failed (a few operations of some families) */

/* The kit's own failures. */
#define LVC_E_ARGUMENT (-1001)       /* a caller's mistake (a limit below); nothing was sent */
#define LVC_E_NO_DRIVER (-1002)      /* no driver window, or it has gone */
#define LVC_E_NOT_REGISTERED (-1003) /* the request needs a gate: lvc_register first */
#define LVC_E_REFUSED (-1004)        /* no gate (none made, or 64 live), or no state answered */
#define LVC_E_TIMEOUT (-1005)        /* the bound of the wait passed first */
#define LVC_E_SYSTEM (-1006)         /* a Windows call failed; lvc_os_error has its code */
#define LVC_E_QUIT (-1007)           /* WM_QUIT arrived during a wait (it is posted again) */
#define LVC_E_BUSY (-1008)           /* an asynchronous request of this client has not ended yet */

/* The driver's status codes (its names, with LVC_ before them). */
#define LVC_ERR_ROWOVER 16      /* row overflow */
#define LVC_ERR_DATOVER 18      /* data too long; also a refusal */
#define LVC_CANCELLED 27        /* the operator pressed Escape during a wait (the driver names it not) */
#define LVC_ERR_RCUNITS 33      /* row/column sensor failure */
#define LVC_ERR_PGSENSE 34      /* replace the ribbon */
#define LVC_ERR_CRIBBON 36      /* ribbon */
#define LVC_ERR_COLOVER 40      /* column overflow */
#define LVC_ERR_PAPERJM 49      /* paper jam, press reset */
#define LVC_ERR_NOPAPER 50      /* no paper */
#define LVC_ERR_NOEXIST 52      /* medium at the entrance, insert it again */
#define LVC_ERR_COMMAND 56      /* command error, check the print position; also a refusal */
#define LVC_BANK_TONGJN 65      /* a passbook is in */
#define LVC_BANK_JUNPYO 66      /* a chit is in */
#define LVC_BANK_CHITIN 67      /* chit in */
#define LVC_BANK_NORMAL 80      /* normal state */
#define LVC_BANK_LASTOK 84      /* last line done */
#define LVC_BANK_ACTING 85      /* busy: another request is running on the printer */
#define LVC_ERR_PAPOVER 88      /* paper inserted too deep */
#define LVC_ERR_RCVOVER 97      /* printer device fault */
#define LVC_ERR_MSRRDWR 113     /* stripe read/write error; also 'M' with no data */
#define LVC_ERR_MSRREAD 114     /* stripe read error */
#define LVC_ERR_UFORMAT 127     /* nothing written on the stripe (unformatted) */
#define LVC_BANK_MSR_NO 133     /* no magnetic stripe */
#define LVC_BANK_MSR_OK 134     /* stripe read correctly */
#define LVC_BANK_END_DETECT 135 /* end detected */
#define LVC_ERR_GARBAGE 144     /* foreign matter on the medium */
#define LVC_ERR_UNKNOWN 241     /* error without a known cause */
/* the device is not open and cannot be opened, or the printer does not answer */
#define LVC_ERR_PBPROFF 242

/* Every code above that the driver names, once: LVC_STATUS_CODES(X) expands X(constant, name) for
 * each, in the order of the codes. The kit's status table and the driver's are both made from it
 * (LVC_CANCELLED is the one code the driver gives a text but no name). */
/* clang-format off */
#define LVC_STATUS_CODES(X)                 \
    X(LVC_ERR_ROWOVER, ERR_ROWOVER)         \
    X(LVC_ERR_DATOVER, ERR_DATOVER)         \
    X(LVC_ERR_RCUNITS, ERR_RCUNITS)         \
    X(LVC_ERR_PGSENSE, ERR_PGSENSE)         \
    X(LVC_ERR_CRIBBON, ERR_CRIBBON)         \
    X(LVC_ERR_COLOVER, ERR_COLOVER)         \
    X(LVC_ERR_PAPERJM, ERR_PAPERJM)         \
    X(LVC_ERR_NOPAPER, ERR_NOPAPER)         \
    X(LVC_ERR_NOEXIST, ERR_NOEXIST)         \
    X(LVC_ERR_COMMAND, ERR_COMMAND)         \
    X(LVC_BANK_TONGJN, BANK_TONGJN)         \
    X(LVC_BANK_JUNPYO, BANK_JUNPYO)         \
    X(LVC_BANK_CHITIN, BANK_CHITIN)         \
    X(LVC_BANK_NORMAL, BANK_NORMAL)         \
    X(LVC_BANK_LASTOK, BANK_LASTOK)         \
    X(LVC_BANK_ACTING, BANK_ACTING)         \
    X(LVC_ERR_PAPOVER, ERR_PAPOVER)         \
    X(LVC_ERR_RCVOVER, ERR_RCVOVER)         \
    X(LVC_ERR_MSRRDWR, ERR_MSRRDWR)         \
    X(LVC_ERR_MSRREAD, ERR_MSRREAD)         \
    X(LVC_ERR_UFORMAT, ERR_UFORMAT)         \
    X(LVC_BANK_MSR_NO, BANK_MSR_NO)         \
    X(LVC_BANK_MSR_OK, BANK_MSR_OK)         \
    X(LVC_BANK_END_DETECT, BANK_END_DETECT) \
    X(LVC_ERR_GARBAGE, ERR_GARBAGE)         \
    X(LVC_ERR_UNKNOWN, ERR_UNKNOWN)         \
    X(LVC_ERR_PBPROFF, ERR_PBPROFF)
/* clang-format on */

/* Fonts of lvc_print (the option character of 'L'), and the media of lvc_paper_in. */
#define LVC_FONT_GODIC '1'             /* Godic (a sans-serif face), normal size */
#define LVC_FONT_GODIC_ENLARGED '2'    /* Godic, twice as wide */
#define LVC_FONT_MYOUNGJO '3'          /* Myoungjo (a serif face), normal size; a new gate's font */
#define LVC_FONT_MYOUNGJO_ENLARGED '4' /* Myoungjo, twice as wide */
#define LVC_PASSBOOK 0
#define LVC_CHIT 1

/* The code's name: the driver's names ("ERR_PBPROFF"), "DONE" (1), "NOTHING_DONE" (0), "CANCELLED"
 * (27, which the driver leaves unnamed), "FAILED" (-1), the kit's own ("LVC_E_TIMEOUT"), and
 * "UNKNOWN" for any other value. Never null. */
const char* LVC_API lvc_status_name(int code);
/* The code's text in UTF-8: the driver's Korean status text ("Response가 없다" for 242), or a short
 * English text for the codes the driver gives none; "" for a code without any. Never null. */
const char* LVC_API lvc_status_text(int code);
/* The name (LVC_TEXT_NAME) or the text (LVC_TEXT_UTF8, or LVC_TEXT_CP949 for a program whose strings
 * are in the system's code page, such as VB6 on a Korean Windows) copied into `out`, zero-terminated:
 * its length in bytes, or LVC_E_ARGUMENT when it does not fit or `what` is none of the three. Code page
 * 949 needs Windows; elsewhere it is LVC_E_ARGUMENT. */
#define LVC_TEXT_NAME 0
#define LVC_TEXT_UTF8 1
#define LVC_TEXT_CP949 2
int LVC_API lvc_status_copy(int code, int what, char* out, int size);
/* Whether a request with this letter succeeded with this result: 1, and also 0 for 'L' (an empty
 * text prints nothing and answers 0). */
int LVC_API lvc_succeeded(int letter, int result);
/* The kit's version as one number (major * 10000 + minor * 100 + patch: 10000 for 1.0.0), and as
 * text ("1.0.0") into `out` when it is not null (`size` bytes; cut to fit). */
int LVC_API lvc_version(char* out, int size);

/* ---- requests -------------------------------------------------------------------------------- */

/* The request text: the letter, two 2-digit fields, an option character, a 3-digit data length and
 * the data:
 *   offset 0     letter   A advise MSR, C pitch, I paper in, L print, M stripe write, O eject,
 *                         R stripe read, S reset, U end the advise
 *   offset 1..2  field 1  'L' row, 'C' characters per inch
 *   offset 3..4  field 2  'L' column, 'C' lines per inch
 *   offset 5     option   'L' font (LVC_FONT_...), 'I' paper kind ('1' chit, '0' passbook)
 *   offset 6..8  length   of the data
 *   offset 9..   data     'L' text (code page 949), 'M' stripe data */
#define LVC_HEADER_BYTES 9
#define LVC_FIELD_MAX 99
#define LVC_LENGTH_MAX 999
#define LVC_PRINT_MAX 128    /* 'L' text */
#define LVC_STRIPE_MAX 127   /* 'M' data */
#define LVC_READ_BLOCK 89    /* an immediate 'R' block: the driver writes 80 bytes back at 9..88 */
#define LVC_QUEUED_BLOCK 108 /* a queued request always takes 108 bytes */
#define LVC_QUEUED_DATA_MAX (LVC_QUEUED_BLOCK - LVC_HEADER_BYTES)
#define LVC_REQUEST_BYTES (LVC_HEADER_BYTES + LVC_LENGTH_MAX + 1)

/* The letters, and the offsets of what the driver writes back into an immediate 'R' block. */
#define LVC_LETTER_ADVISE 'A'
#define LVC_LETTER_PITCH 'C'
#define LVC_LETTER_PAPER_IN 'I'
#define LVC_LETTER_PRINT 'L'
#define LVC_LETTER_STRIPE_WRITE 'M'
#define LVC_LETTER_EJECT 'O'
#define LVC_LETTER_STRIPE_READ 'R'
#define LVC_LETTER_RESET 'S'
#define LVC_LETTER_UNADVISE 'U'
#define LVC_LETTERS "ACILMORSU"
#define LVC_READ_REPLY_OFFSET 6 /* the length of the stripe data read, as 3 digits */
#define LVC_READ_DATA_BYTES 80  /* then the data, zero-filled, at 9..88 */

#define LVC_IMMEDIATE 0
#define LVC_QUEUED 1

/* The copy-data tags (dwData). To a gate: 0 for an immediate request, and for a queued one the
 * client's window, whose wait event the driver sets once the request has run. To the driver's main
 * window: */
#define LVC_TAG_REGISTER 1 /* the size field names the window for end-of-print notices */
#define LVC_TAG_RELEASE 2
#define LVC_TAG_SHUTDOWN 3
#define LVC_TAG_INFO 4 /* the driver answers with its state, a copy-data block to the sender */

/* A request ready to send: `size` bytes of `text` go to the driver (the text, a terminating zero,
 * and zeros up to the block an 'R' or a queued request takes). */
typedef struct lvc_request {
    char text[LVC_REQUEST_BYTES];
    int size;
} lvc_request;

/* Builds a request. LVC_DONE, or LVC_E_ARGUMENT (nothing built) when: `out` is null; the letter is
 * not one of the nine; a field is outside 0..99; the option is not a printable ASCII character; the
 * length is outside 0..999, or above 128 for 'L', 127 for 'M', 99 for a queued request; the data is
 * null with a length above 0. `length` bytes of `data` are taken as they are. */
int LVC_API lvc_build_request(lvc_request* out, int mode, int letter, int field1, int field2, int option,
                              const char* data, int length);

/* ---- what the driver sends back ------------------------------------------------------------- */

#define LVC_ADVISE_DATA_MAX 98
#define LVC_ADVISE_REPLY_BYTES 108 /* the reply's block, whatever the stripe's length */
#define LVC_ADVISE_REPLY_TAG 'A'   /* its copy-data tag; go by its size and first byte all the same */

/* The MSR advise reply: 'A', five zero bytes, the stripe's length as 3 digits, up to 98 bytes of it. */
typedef struct lvc_advise_reply {
    int declared_length;                /* the length field: the whole stripe's length */
    int length;                         /* bytes in data (at most 98) */
    char data[LVC_ADVISE_DATA_MAX + 1]; /* zero-terminated */
} lvc_advise_reply;

/* The end-of-print notice, sent when the driver failed to open the printer: "PRINT_END_PBPR_MSG" in 64
 * bytes, the driver's main window as decimal text in 32, then -1 and the status as 32-bit integers. */
typedef struct lvc_print_end {
    long long driver_window;
    int minus_one;
    int status;
} lvc_print_end;

#define LVC_PRINT_END_NAME "PRINT_END_PBPR_MSG"
#define LVC_PRINT_END_BYTES 104
#define LVC_PRINT_END_TAG 0 /* its copy-data tag */

/* Read a block a client window received. 1 when the block is one (filled in), 0 when it is not; never
 * reads outside `size` bytes. */
int LVC_API lvc_parse_advise(const void* block, size_t size, lvc_advise_reply* out);
int LVC_API lvc_parse_print_end(const void* block, size_t size, lvc_print_end* out);

/* The driver's state, answered to a state query (lvc_driver_info): the signature line, then one
 * "key=value" line each, in code page 949. */
#define LVC_INFO_SIGNATURE "LODEVAR_INFO\n"
#define LVC_INFO_MAX 4096

#define LVC_DRIVER_WINDOW "QRVA Bank Driver" /* class and window name of the driver */
/* The registration's notice record, sent where the size of a block without data is lost (Wine):
 * these 8 bytes, then the notice window as 32 bits, little-endian. */
#define LVC_NOTICE_RECORD_TAG "LVNOTICE"
#define LVC_NOTICE_RECORD_BYTES 12
#define LVC_WAIT_EVENT "QRVA WAIT BANK DRIVER EVENT...."

#ifdef __cplusplus
}
#endif

#endif /* LODEVAR_CLIENT_H */

/* ---- the client (Windows) -------------------------------------------------------------------- */

#if defined(_WIN32) && !defined(LVC_PROTOCOL_ONLY) && !defined(LODEVAR_CLIENT_WINDOWS_H)
#define LODEVAR_CLIENT_WINDOWS_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LVC_DEFAULT_TIMEOUT_MS 60000u

/* One client: its own hidden window (the key of its registration, the window the driver signals for
 * queued requests and sends replies and notices to), the named wait event, and the kit's state. The
 * kit allocates it (lvc_open) and frees it (lvc_close); the caller keeps only the pointer. */
typedef struct lvc_client lvc_client;

/* Makes a client: creates the wait event and the client's window; *out receives it (null on
 * failure). LVC_DONE, LVC_E_ARGUMENT (out is null) or LVC_E_SYSTEM. */
int LVC_API lvc_open(lvc_client** out);
/* Waits for an asynchronous request that has not ended, releases the gate (when registered), destroys
 * the window, closes the event and frees the client. A null client is fine. */
void LVC_API lvc_close(lvc_client* client);
/* The bound of each request sent (LVC_DEFAULT_TIMEOUT_MS after lvc_open); 0 is refused. */
int LVC_API lvc_set_timeout(lvc_client* client, unsigned timeout_ms);
/* GetLastError() of the last LVC_E_SYSTEM. */
unsigned LVC_API lvc_os_error(lvc_client* client);
/* The driver's main window once found, the gate while registered (0 otherwise), as the 32-bit
 * numbers window handles are between programs. */
unsigned LVC_API lvc_driver_window(lvc_client* client);
unsigned LVC_API lvc_gate_window(lvc_client* client);

/* Finds the driver's main window. LVC_DONE or LVC_E_NO_DRIVER. */
int LVC_API lvc_find_driver(lvc_client* client);
/* Registers with the driver (finding it first): the gate is kept in the client and the driver will
 * send end-of-print notices to the client's window. A second registration makes a second gate. The
 * driver keeps at most 64 gates: past them it gives none (LVC_E_REFUSED) unless a gate whose client
 * window has gone can make room. */
int LVC_API lvc_register(lvc_client* client);
/* Releases the gate. LVC_DONE, LVC_E_NOT_REGISTERED, or a failure to reach the driver. */
int LVC_API lvc_release(lvc_client* client);
/* Asks the driver to close. It asks the operator first while clients are registered. */
int LVC_API lvc_shutdown(lvc_client* client);

/* The driver's state (program, version, settings, gates, the printer's state and last text) into
 * `out` as UTF-8 "key=value" lines, zero-terminated and cut to fit. It needs no gate and changes
 * nothing in the driver: no registration, no printer exchange. LVC_DONE, LVC_E_NO_DRIVER,
 * LVC_E_REFUSED (a driver that does not answer state queries) or LVC_E_TIMEOUT. */
int LVC_API lvc_driver_info(lvc_client* client, char* out, int size);
/* The health check: finds the driver, registers when the client is not registered yet, asks the
 * driver's state and releases the registration it made. The state goes into `report` as by
 * lvc_driver_info (may be null). LVC_DONE when everything answered and the printer is open;
 * LVC_ERR_PBPROFF (242) when the driver answered but the printer is not open; otherwise the step's
 * failure (LVC_E_NO_DRIVER, LVC_E_REFUSED, LVC_E_TIMEOUT, ...). */
int LVC_API lvc_check_health(lvc_client* client, char* report, int size);

/* An immediate request: the driver runs it before it answers; the result is its status code. An
 * immediate 'R' answers the status only: the stripe data it reads stay in the driver (a copy-data
 * block travels one way). Read the stripe with lvc_read_stripe. */
int LVC_API lvc_send(lvc_client* client, const lvc_request* request);
/* A queued request: the driver takes it at once (1) and runs it later, in arrival order, then sets
 * the wait event. A gate holds at most 256 waiting requests: past them the driver answers 85
 * (BANK_ACTING) at once and keeps nothing; queue it again once some have run. The request must be
 * built with LVC_QUEUED. */
int LVC_API lvc_queue(lvc_client* client, const lvc_request* request);
/* Sends a block as it is: `size` bytes (immediate: 9 to LVC_REQUEST_BYTES), or for a queued request the first
 * 108 bytes (a shorter block is filled with zeros up to 108). For trying the driver's refusals. */
int LVC_API lvc_send_block(lvc_client* client, int mode, const char* block, int size);
/* Waits for the wait event. LVC_DONE or LVC_E_TIMEOUT. The event is one for every client of the
 * machine and keeps one signal, not a count: after several queued requests, one signal may stand for
 * all of them that ran. */
int LVC_API lvc_wait_queued(lvc_client* client, unsigned timeout_ms);
/* Builds and sends a request. Immediate: its status code. Queued: clears the wait event, queues the
 * request and waits up to `wait_ms` for the event (no wait for 0): LVC_DONE once it has run. */
int LVC_API lvc_submit(lvc_client* client, int mode, unsigned wait_ms, int letter, int field1, int field2,
                       int option, const char* data, int length);

/* The requests, immediate. `text` and `data` are zero-terminated; text in code page 949. */
int LVC_API lvc_paper_in(lvc_client* client, int chit); /* LVC_PASSBOOK or LVC_CHIT */
int LVC_API lvc_print(lvc_client* client, int row, int column, int font, const char* text);
int LVC_API lvc_msr_write(lvc_client* client, const char* data);
int LVC_API lvc_msr_read(lvc_client* client);
int LVC_API lvc_advise(lvc_client* client); /* also forgets a reply not yet taken */
int LVC_API lvc_unadvise(lvc_client* client);
int LVC_API lvc_eject(lvc_client* client);
int LVC_API lvc_reset(lvc_client* client);
int LVC_API lvc_pitch(lvc_client* client, int cpi, int lpi);

/* Reads the passbook's stripe in one call: asks the driver to wait for a stripe ('A'), waits up to
 * `timeout_ms` for it, dispatching messages, and ends the driver's wait ('U') when none came. LVC_DONE
 * with the stripe in `out` (zero-terminated; `size` must be at least LVC_ADVISE_DATA_MAX + 1),
 * LVC_E_TIMEOUT when no stripe came, LVC_E_ARGUMENT, or the driver's answer to 'A'. */
int LVC_API lvc_read_stripe(lvc_client* client, unsigned timeout_ms, char* out, int size);
/* The last stripe the client received (by lvc_read_stripe, its _async variant or an advise reply)
 * into `out`: its length, or LVC_E_ARGUMENT when `size` is below LVC_ADVISE_DATA_MAX + 1. */
int LVC_API lvc_last_stripe(lvc_client* client, char* out, int size);

/* Waits for the MSR advise reply, dispatching messages. LVC_DONE (the reply copied to `out`, which may
 * be null), LVC_E_TIMEOUT or LVC_E_QUIT. */
int LVC_API lvc_wait_advise(lvc_client* client, unsigned timeout_ms, lvc_advise_reply* out);
/* The same for the end-of-print notice. */
int LVC_API lvc_wait_print_end(lvc_client* client, unsigned timeout_ms, lvc_print_end* out);
/* Takes an advise reply or a notice that arrived and was not taken yet: 1 (copied to `out`, which may
 * be null), or 0 when none is waiting. */
int LVC_API lvc_take_advise(lvc_client* client, lvc_advise_reply* out);
int LVC_API lvc_take_print_end(lvc_client* client, lvc_print_end* out);
/* Dispatches the window messages waiting for the calling thread. LVC_DONE, or LVC_E_QUIT. */
int LVC_API lvc_pump(lvc_client* client);

/* ---- asynchronous requests -------------------------------------------------------------------- */

/* Called on the client's own thread, from its message dispatching, when an asynchronous request has
 * ended: `request` is the request's letter ('A' for lvc_read_stripe_async), `result` what the
 * synchronous call would have answered. */
typedef void(LVC_API* lvc_completion)(lvc_client* client, int request, int result, void* context);

/* Where the end of an asynchronous request goes: the message `message` posted to `window` (wParam the
 * request's letter, lParam the result) when `window` is not null, and `callback` called with
 * `context` when it is not null. Either, both or neither. */
int LVC_API lvc_set_completion(lvc_client* client, HWND window, unsigned message, lvc_completion callback,
                               void* context);
/* Starts an immediate request and returns at once: LVC_DONE (its end comes as set above),
 * LVC_E_BUSY (another has not ended: one at a time per client), LVC_E_NOT_REGISTERED,
 * LVC_E_ARGUMENT or LVC_E_SYSTEM. While one runs, the client's other requests answer LVC_E_BUSY;
 * lvc_pump, the waits and lvc_close do not. The calling thread must go on dispatching messages. */
int LVC_API lvc_submit_async(lvc_client* client, int letter, int field1, int field2, int option,
                             const char* data, int length);
int LVC_API lvc_paper_in_async(lvc_client* client, int chit);
int LVC_API lvc_print_async(lvc_client* client, int row, int column, int font, const char* text);
int LVC_API lvc_msr_write_async(lvc_client* client, const char* data);
int LVC_API lvc_msr_read_async(lvc_client* client);
int LVC_API lvc_eject_async(lvc_client* client);
int LVC_API lvc_reset_async(lvc_client* client);
/* lvc_read_stripe without the wait: the stripe, once the end has come with LVC_DONE, from
 * lvc_last_stripe. */
int LVC_API lvc_read_stripe_async(lvc_client* client, unsigned timeout_ms);
/* 1 while an asynchronous request of the client runs, else 0. */
int LVC_API lvc_async_pending(lvc_client* client);
/* The result of the client's last asynchronous request once it has ended (and its end has been
 * dispatched); LVC_E_BUSY while it runs. For a program that polls instead of taking the end. */
int LVC_API lvc_async_result(lvc_client* client);

/* ---- text ------------------------------------------------------------------------------------- */

/* Code page conversions. The zero-terminated result goes to `out` (`size` bytes); the answer is its
 * length in bytes, or LVC_E_ARGUMENT for text that does not convert or does not fit. */
int LVC_API lvc_utf8_to_cp949(const char* utf8, char* out, int size);
int LVC_API lvc_cp949_to_utf8(const char* cp949, int length, char* out, int size);

#ifdef __cplusplus
}
#endif

#endif /* the client (Windows) */
