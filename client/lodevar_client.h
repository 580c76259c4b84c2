/* lodevar_client.h: the client kit of the Lodevar passbook-printer driver, for teller applications.
 *
 * A teller application never touches the printer. It finds the driver's hidden main window, registers
 * and gets a gate window of its own, and sends requests to that gate as fixed-width texts by
 * WM_COPYDATA: take in a passbook or a chit, print a line, read or write the magnetic stripe, wait for a
 * stripe, eject, reset. This kit does that in plain C (usable from C and C++), with nothing but
 * windows.h. Copy lodevar_client.h and lodevar_client.c into the application.
 *
 *   lvc_client client;
 *   if (lvc_open(&client) == LVC_DONE && lvc_register(&client) == LVC_DONE) {
 *       int result = lvc_paper_in(&client, 0);               // waits for the passbook
 *       if (result == LVC_DONE) result = lvc_print(&client, 5, 10, '1', "hello");
 *       printf("%d %s\n", result, lvc_status_name(result));
 *   }
 *   lvc_close(&client);                                     // releases the gate
 *
 * Results. Every function answers an int:
 *   1 (LVC_DONE)          done;
 *   0 .. 255, -1          the driver's status code (lvc_status_name, lvc_status_text); 0 means
 *                         nothing done (an 'L' with no text, a letter the driver does not know);
 *   LVC_E_... (< -1000)   the kit's own failures, which never come from the driver. LVC_E_ARGUMENT is
 *                         a caller's mistake found before anything is sent.
 * The driver also refuses requests that do not fit their block: 56 (ERR_COMMAND) for a block shorter
 * than its fixed fields or an 'L' at a negative position, 18 (ERR_DATOVER) for data longer than what
 * was sent or than the driver's buffers. A request that arrives while the printer is busy with another
 * exchange answers 85 (BANK_ACTING), or 242 while the driver is opening the device. The kit checks
 * the limits first, so a request built here meets none of these refusals.
 *
 * Waiting. Every wait is bounded. A request waits for its answer at most lvc_client.timeout_ms
 * (LVC_DEFAULT_TIMEOUT_MS unless changed); a paper-in waits until the teller inserts the passbook, so
 * keep that bound generous. While the kit waits it dispatches the window messages of the calling
 * thread: the driver sends the MSR advise reply and the end-of-print notice by SendMessage, and a
 * client that stopped dispatching would hold the driver up. Call lvc_pump from your own message loop
 * or idle time when you are not waiting in the kit. A client belongs to the thread that opened it.
 *
 * Text. The driver prints code page 949 (Korean) text. lvc_utf8_to_cp949 converts for lvc_print;
 * lvc_status_text answers UTF-8, ready for display.
 *
 * The parts above the _WIN32 section are plain C and need no windows.h (the kit's tests run them on
 * any system).
 */
#ifndef LODEVAR_CLIENT_H
#define LODEVAR_CLIENT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- results --------------------------------------------------------------------------------- */

#define LVC_DONE 1
#define LVC_NOTHING_DONE 0

/* The kit's own failures. */
#define LVC_E_ARGUMENT (-1001)       /* a caller's mistake (a limit below); nothing was sent */
#define LVC_E_NO_DRIVER (-1002)      /* no driver window, or it has gone */
#define LVC_E_NOT_REGISTERED (-1003) /* the request needs a gate: lvc_register first */
#define LVC_E_REFUSED (-1004)        /* the driver gave no gate: no window, or 64 gates are live */
#define LVC_E_TIMEOUT (-1005)        /* the bound of the wait passed first */
#define LVC_E_SYSTEM (-1006)         /* a Windows call failed; lvc_client.os_error has its code */
#define LVC_E_QUIT (-1007)           /* WM_QUIT arrived during a wait (it is posted again) */

/* The driver's status codes that name its refusals and its busy answer. */
#define LVC_ERR_DATOVER 18
#define LVC_ERR_COMMAND 56
#define LVC_BANK_ACTING 85
#define LVC_ERR_MSRRDWR 113
#define LVC_ERR_PBPROFF 242

/* The code's name: the driver's names ("ERR_PBPROFF"), "DONE" (1), "NOTHING_DONE" (0), "CANCELLED"
 * (27, which the driver leaves unnamed), "FAILED" (-1), the kit's own ("LVC_E_TIMEOUT"), and
 * "UNKNOWN" for any other value. Never null. */
const char* lvc_status_name(int code);
/* The code's text in UTF-8: the driver's Korean status text ("Response가 없다" for 242), or a short
 * English text for the codes the driver gives none; "" for a code without any. Never null. */
const char* lvc_status_text(int code);
/* Whether a request with this letter succeeded with this result: 1, and also 0 for 'L' (an empty
 * text prints nothing and answers 0). */
int lvc_succeeded(char letter, int result);

/* ---- requests -------------------------------------------------------------------------------- */

/* The request text: the letter, two 2-digit fields, an option character, a 3-digit data length and
 * the data:
 *   offset 0     letter   A advise MSR, C pitch, I paper in, L print, M stripe write, O eject,
 *                         R stripe read, S reset, U end the advise
 *   offset 1..2  field 1  'L' row, 'C' characters per inch
 *   offset 3..4  field 2  'L' column, 'C' lines per inch
 *   offset 5     option   'L' font ('1' Godic, '2' Godic enlarged, '3' Myoungjo, '4' Myoungjo
 *                         enlarged), 'I' paper kind ('1' chit, '0' passbook)
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

#define LVC_IMMEDIATE 0
#define LVC_QUEUED 1

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
int lvc_build_request(lvc_request* out, int mode, char letter, int field1, int field2, char option,
                      const char* data, int length);

/* ---- what the driver sends back ------------------------------------------------------------- */

#define LVC_ADVISE_DATA_MAX 98

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

/* Read a block a client window received. 1 when the block is one (filled in), 0 when it is not; never
 * reads outside `size` bytes. */
int lvc_parse_advise(const void* block, size_t size, lvc_advise_reply* out);
int lvc_parse_print_end(const void* block, size_t size, lvc_print_end* out);

/* ---- the client (Windows) -------------------------------------------------------------------- */

#ifdef _WIN32
#include <windows.h>

#define LVC_DRIVER_WINDOW "QRVA Bank Driver" /* class and window name of the driver */
/* The registration's notice record, sent where the size of a block without data is lost (Wine):
 * these 8 bytes, then the notice window as 32 bits, little-endian. */
#define LVC_NOTICE_RECORD_TAG "LVNOTICE"
#define LVC_NOTICE_RECORD_BYTES 12
#define LVC_WAIT_EVENT "QRVA WAIT BANK DRIVER EVENT...."
#define LVC_DEFAULT_TIMEOUT_MS 60000u

/* One client: its own hidden window (the key of its registration, the window the driver signals for
 * queued requests and sends replies and notices to) and the named wait event. Open it with lvc_open
 * and keep it at one address until lvc_close: its window points at it. The fields are for reading. */
typedef struct lvc_client {
    HWND window;       /* the client's hidden window */
    HANDLE wait_event; /* "QRVA WAIT BANK DRIVER EVENT....", set by the driver after a queued request */
    HWND driver;       /* the driver's main window, once found */
    HWND gate;         /* the gate, while registered */
    DWORD timeout_ms;  /* the bound of each request sent; LVC_DEFAULT_TIMEOUT_MS after lvc_open */
    DWORD os_error;    /* GetLastError() of the last LVC_E_SYSTEM */

    int advise_pending; /* an advise reply arrived and lvc_wait_advise has not taken it */
    lvc_advise_reply advise;
    HWND advise_gate;      /* the gate that sent it */
    int print_end_pending; /* an end-of-print notice arrived and lvc_wait_print_end has not taken it */
    lvc_print_end print_end;
} lvc_client;

/* Creates the wait event and the client's window. LVC_DONE or LVC_E_SYSTEM. */
int lvc_open(lvc_client* client);
/* Releases the gate (when registered), destroys the window and closes the event. */
void lvc_close(lvc_client* client);

/* Finds the driver's main window. LVC_DONE or LVC_E_NO_DRIVER. */
int lvc_find_driver(lvc_client* client);
/* Registers with the driver (finding it first): the gate lands in client->gate and the driver will
 * send end-of-print notices to the client's window. A second registration makes a second gate. The
 * driver keeps at most 64 gates: past them it gives none (LVC_E_REFUSED) unless a gate whose client
 * window has gone can make room. */
int lvc_register(lvc_client* client);
/* Releases the gate. LVC_DONE, LVC_E_NOT_REGISTERED, or a failure to reach the driver. */
int lvc_release(lvc_client* client);
/* Asks the driver to close. It asks the operator first while clients are registered. */
int lvc_shutdown(lvc_client* client);

/* An immediate request: the driver runs it before it answers; the result is its status code. An
 * immediate 'R' answers the status only: the stripe data it reads stay in the driver (a copy-data
 * block travels one way). Read the stripe with lvc_advise and lvc_wait_advise. */
int lvc_send(lvc_client* client, const lvc_request* request);
/* A queued request: the driver takes it at once (1) and runs it later, in arrival order, then sets
 * the wait event. A gate holds at most 256 waiting requests: past them the driver answers 85
 * (BANK_ACTING) at once and keeps nothing; queue it again once some have run. The request must be
 * built with LVC_QUEUED. */
int lvc_queue(lvc_client* client, const lvc_request* request);
/* Waits for the wait event. LVC_DONE or LVC_E_TIMEOUT. The event is one for every client of the
 * machine and keeps one signal, not a count: after several queued requests, one signal may stand for
 * all of them that ran. */
int lvc_wait_queued(lvc_client* client, DWORD timeout_ms);
/* Builds and sends a request. Immediate: its status code. Queued: clears the wait event, queues the
 * request and waits up to `wait_ms` for the event (no wait for 0): LVC_DONE once it has run. */
int lvc_submit(lvc_client* client, int mode, DWORD wait_ms, char letter, int field1, int field2, char option,
               const char* data, int length);

/* The requests, immediate. `text` and `data` are zero-terminated; text in code page 949. */
int lvc_paper_in(lvc_client* client, int chit);
int lvc_print(lvc_client* client, int row, int column, char font, const char* text);
int lvc_msr_write(lvc_client* client, const char* data);
int lvc_msr_read(lvc_client* client);
int lvc_advise(lvc_client* client); /* also forgets a reply not yet taken */
int lvc_unadvise(lvc_client* client);
int lvc_eject(lvc_client* client);
int lvc_reset(lvc_client* client);
int lvc_pitch(lvc_client* client, int cpi, int lpi);

/* Waits for the MSR advise reply, dispatching messages. LVC_DONE (the reply copied to `out`, which may
 * be null), LVC_E_TIMEOUT or LVC_E_QUIT. */
int lvc_wait_advise(lvc_client* client, DWORD timeout_ms, lvc_advise_reply* out);
/* The same for the end-of-print notice. */
int lvc_wait_print_end(lvc_client* client, DWORD timeout_ms, lvc_print_end* out);
/* Dispatches the window messages waiting for the calling thread. LVC_DONE, or LVC_E_QUIT. */
int lvc_pump(lvc_client* client);

/* Code page conversions. The zero-terminated result goes to `out` (`size` bytes); the answer is its
 * length in bytes, or LVC_E_ARGUMENT for text that does not convert or does not fit. */
int lvc_utf8_to_cp949(const char* utf8, char* out, int size);
int lvc_cp949_to_utf8(const char* cp949, int length, char* out, int size);

#endif /* _WIN32 */

#ifdef __cplusplus
}
#endif

#endif /* LODEVAR_CLIENT_H */
