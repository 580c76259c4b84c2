/* lodevar_client.c: the client kit of the Lodevar driver (see lodevar_client.h). No exceptions. The
 * one allocation is the client itself (lvc_open); an asynchronous request runs on a thread of its
 * own, which touches only the client's job fields and the events, never what the caller's thread
 * reads. */
#include "lodevar_client.h"

#include <string.h>

#include "lodevar_texts.h"
#include "lodevar_version.h"

/* ---- results --------------------------------------------------------------------------------- */

typedef struct lvc_status_entry {
    int code;
    const char* name;
    const char* text; /* UTF-8 */
} lvc_status_entry;

/* The driver's codes with their names and texts (the texts from the list lodevar_texts.txt, made into
 * lodevar_texts.h by the build), then the codes it leaves unnamed and the kit's own. */
#define LVC_STATUS_ENTRY(code, name) {code, #name, LVC_UTF8_##name},
static const lvc_status_entry lvc_status_table[] = {
    /* clang-format off */
    LVC_STATUS_CODES(LVC_STATUS_ENTRY)
    /* clang-format on */
    {LVC_DONE, "DONE", "done"},
    {LVC_NOTHING_DONE, "NOTHING_DONE", "nothing done"},
    {LVC_FAILED, "FAILED", "the printer operation failed"},
    {LVC_CANCELLED, "CANCELLED", LVC_UTF8_CANCELLED},
    {LVC_E_ARGUMENT, "LVC_E_ARGUMENT", "the request breaks a limit; nothing was sent"},
    {LVC_E_NO_DRIVER, "LVC_E_NO_DRIVER", "the driver is not running"},
    {LVC_E_NOT_REGISTERED, "LVC_E_NOT_REGISTERED", "not registered with the driver"},
    {LVC_E_REFUSED, "LVC_E_REFUSED", "the driver gave no gate"},
    {LVC_E_TIMEOUT, "LVC_E_TIMEOUT", "no answer in time"},
    {LVC_E_SYSTEM, "LVC_E_SYSTEM", "a Windows call failed"},
    {LVC_E_QUIT, "LVC_E_QUIT", "the program is quitting"},
    {LVC_E_BUSY, "LVC_E_BUSY", "an asynchronous request of this client has not ended"},
};

static const lvc_status_entry* lvc_find_status(int code) {
    size_t i;
    for (i = 0; i < sizeof(lvc_status_table) / sizeof(lvc_status_table[0]); ++i) {
        if (lvc_status_table[i].code == code) {
            return &lvc_status_table[i];
        }
    }
    return NULL;
}

const char* LVC_API lvc_status_name(int code) {
    const lvc_status_entry* entry = lvc_find_status(code);
    return entry != NULL ? entry->name : "UNKNOWN";
}

const char* LVC_API lvc_status_text(int code) {
    const lvc_status_entry* entry = lvc_find_status(code);
    return entry != NULL ? entry->text : "";
}

int LVC_API lvc_succeeded(int letter, int result) {
    return result == LVC_DONE || (letter == 'L' && result == LVC_NOTHING_DONE);
}

/* Copies a zero-terminated text into `out`: its length, or LVC_E_ARGUMENT when it does not fit. */
static int lvc_copy_text(const char* text, char* out, int size) {
    size_t length = strlen(text);
    if (out == NULL || size < 1 || length >= (size_t)size) {
        return LVC_E_ARGUMENT;
    }
    memcpy(out, text, length + 1);
    return (int)length;
}

#ifdef _WIN32
static int lvc_convert(UINT from, UINT to, const char* text, int length, char* out, int size);
#endif

int LVC_API lvc_status_copy(int code, int what, char* out, int size) {
    if (what == LVC_TEXT_NAME) {
        return lvc_copy_text(lvc_status_name(code), out, size);
    }
    if (what == LVC_TEXT_UTF8) {
        return lvc_copy_text(lvc_status_text(code), out, size);
    }
#ifdef _WIN32
    if (what == LVC_TEXT_CP949) {
        const char* text = lvc_status_text(code);
        return lvc_convert(CP_UTF8, 949, text, (int)strlen(text), out, size);
    }
#endif
    return LVC_E_ARGUMENT;
}

int LVC_API lvc_version(char* out, int size) {
    static const char text[] = LODEVAR_VERSION;
    if (out != NULL && size > 0) {
        size_t n = sizeof(text) - 1 < (size_t)size - 1 ? sizeof(text) - 1 : (size_t)size - 1;
        memcpy(out, text, n);
        out[n] = '\0';
    }
    return LODEVAR_VERSION_NUMBER;
}

/* ---- requests -------------------------------------------------------------------------------- */

static int lvc_is_request_letter(int letter) {
    return letter > 0 && letter < 0x80 && strchr(LVC_LETTERS, letter) != NULL;
}

/* Writes `value` (0 .. 10^width - 1) as `width` decimal digits. */
static void lvc_put_digits(char* at, int width, int value) {
    int i;
    for (i = width - 1; i >= 0; --i) {
        at[i] = (char)('0' + value % 10);
        value /= 10;
    }
}

int LVC_API lvc_build_request(lvc_request* out, int mode, int letter, int field1, int field2, int option,
                              const char* data, int length) {
    int limit = LVC_LENGTH_MAX;
    int size;
    if (out == NULL || (mode != LVC_IMMEDIATE && mode != LVC_QUEUED) || !lvc_is_request_letter(letter)) {
        return LVC_E_ARGUMENT;
    }
    if (field1 < 0 || field1 > LVC_FIELD_MAX || field2 < 0 || field2 > LVC_FIELD_MAX) {
        return LVC_E_ARGUMENT;
    }
    if (option < 0x20 || option > 0x7E) {
        return LVC_E_ARGUMENT;
    }
    if (letter == 'L') {
        limit = LVC_PRINT_MAX;
    } else if (letter == 'M') {
        limit = LVC_STRIPE_MAX;
    }
    if (mode == LVC_QUEUED && limit > LVC_QUEUED_DATA_MAX) {
        limit = LVC_QUEUED_DATA_MAX;
    }
    if (length < 0 || length > limit || (data == NULL && length > 0)) {
        return LVC_E_ARGUMENT;
    }
    memset(out, 0, sizeof(*out));
    out->text[0] = (char)letter;
    lvc_put_digits(out->text + 1, 2, field1);
    lvc_put_digits(out->text + 3, 2, field2);
    out->text[5] = (char)option;
    lvc_put_digits(out->text + 6, 3, length);
    if (length > 0) {
        memcpy(out->text + LVC_HEADER_BYTES, data, (size_t)length);
    }
    size = LVC_HEADER_BYTES + length + 1; /* with the terminating zero */
    if (mode == LVC_QUEUED) {
        size = LVC_QUEUED_BLOCK;
    } else if (letter == 'R' && size < LVC_READ_BLOCK) {
        size = LVC_READ_BLOCK;
    }
    out->size = size;
    return LVC_DONE;
}

/* ---- what the driver sends back ------------------------------------------------------------- */

/* The value of a 32-bit little-endian integer. */
static int lvc_get_int32(const unsigned char* at) {
    unsigned long value = (unsigned long)at[0] | ((unsigned long)at[1] << 8) | ((unsigned long)at[2] << 16) |
                          ((unsigned long)at[3] << 24);
    if (value >= 0x80000000ul) {
        return -(int)(0xFFFFFFFFul - value) - 1;
    }
    return (int)value;
}

int LVC_API lvc_parse_advise(const void* block, size_t size, lvc_advise_reply* out) {
    const unsigned char* bytes = (const unsigned char*)block;
    size_t available;
    size_t n = 0;
    int i;
    int declared = 0;
    if (bytes == NULL || out == NULL || size < LVC_HEADER_BYTES || bytes[0] != 'A') {
        return 0;
    }
    for (i = 1; i < 6; ++i) {
        if (bytes[i] != 0) {
            return 0;
        }
    }
    for (i = 6; i < 9; ++i) {
        if (bytes[i] < '0' || bytes[i] > '9') {
            return 0;
        }
        declared = declared * 10 + (bytes[i] - '0');
    }
    available = size - LVC_HEADER_BYTES;
    if (available > LVC_ADVISE_DATA_MAX) {
        available = LVC_ADVISE_DATA_MAX;
    }
    while (n < available && bytes[LVC_HEADER_BYTES + n] != 0) {
        ++n;
    }
    memset(out, 0, sizeof(*out));
    out->declared_length = declared;
    out->length = (int)n;
    memcpy(out->data, bytes + LVC_HEADER_BYTES, n);
    return 1;
}

int LVC_API lvc_parse_print_end(const void* block, size_t size, lvc_print_end* out) {
    static const char name[] = LVC_PRINT_END_NAME;
    const unsigned char* bytes = (const unsigned char*)block;
    const unsigned char* digits;
    long long window = 0;
    int negative = 0;
    int i = 0;
    int first;
    if (bytes == NULL || out == NULL || size < LVC_PRINT_END_BYTES ||
        memcmp(bytes, name, sizeof(name)) != 0) {
        return 0;
    }
    /* The window as "%ld" in 32 bytes, zero-terminated inside them. */
    digits = bytes + 64;
    if (digits[0] == '-') {
        negative = 1;
        i = 1;
    }
    first = i;
    for (; i < 32 && digits[i] >= '0' && digits[i] <= '9'; ++i) {
        window = window * 10 + (digits[i] - '0');
        if (i - first == 17) {
            return 0; /* 17 digits at most: no window handle has more, and they cannot overflow */
        }
    }
    if (i == first || i >= 32 || digits[i] != 0) {
        return 0;
    }
    out->driver_window = negative ? -window : window;
    out->minus_one = lvc_get_int32(bytes + 96);
    out->status = lvc_get_int32(bytes + 100);
    return 1;
}

/* ---- the client (Windows) -------------------------------------------------------------------- */

#ifdef _WIN32

#define LVC_WINDOW_CLASS "LodevarClientWindow"
/* Posted by an asynchronous request's thread to the client's window when it has ended. */
#define LVC_WM_ASYNC_DONE (WM_APP + 1)
/* The letter of an asynchronous stripe read in its completion. */
#define LVC_STRIPE_REQUEST 'A'

/* An asynchronous request: written by the client's thread before the request's thread starts, read by
 * that thread, whose only writes are `result` and `os_error`, read back after it has ended. */
typedef struct lvc_job {
    HANDLE thread;
    int letter;
    int stripe; /* an 'A', a wait for the reply, and a 'U' when none came */
    unsigned timeout_ms;
    lvc_request request;
    int result;
    DWORD os_error;
} lvc_job;

struct lvc_client {
    HWND window;         /* the client's hidden window */
    HANDLE wait_event;   /* "QRVA WAIT BANK DRIVER EVENT....", set by the driver after a queued request */
    HANDLE advise_event; /* set by the window when an advise reply arrives (for a request's thread) */
    HWND driver;         /* the driver's main window, once found */
    HWND gate;           /* the gate, while registered */
    DWORD timeout_ms;    /* the bound of each request sent */
    DWORD os_error;      /* GetLastError() of the last LVC_E_SYSTEM */

    int advise_pending;      /* an advise reply arrived and has not been taken */
    lvc_advise_reply advise; /* the last advise reply: the last stripe */
    int print_end_pending;
    lvc_print_end print_end;
    int info_pending;
    int info_length;
    char info[LVC_INFO_MAX]; /* the last state answer, code page 949, without its signature */

    int busy; /* an asynchronous request runs */
    int last_async_result;
    lvc_job job;
    HWND completion_window;
    UINT completion_message;
    lvc_completion completion;
    void* completion_context;
};

/* An address inside the kit's own module. */
static const char lvc_module_marker = 0;

static void lvc_async_ended(lvc_client* client);

static LRESULT CALLBACK lvc_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    lvc_client* client = (lvc_client*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = (const CREATESTRUCTA*)lparam;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)create->lpCreateParams);
        return TRUE;
    }
    if (message == LVC_WM_ASYNC_DONE && client != NULL) {
        lvc_async_ended(client); /* last: the completion may close the client */
        return 0;
    }
    if (message == WM_COPYDATA && client != NULL) {
        const COPYDATASTRUCT* copy = (const COPYDATASTRUCT*)lparam;
        static const char signature[] = LVC_INFO_SIGNATURE;
        lvc_advise_reply reply;
        lvc_print_end notice;
        (void)wparam;
        if (copy == NULL || copy->lpData == NULL) {
            return FALSE;
        }
        /* Told apart by their layout: the driver's copy-data tags carry no meaning. */
        if (lvc_parse_advise(copy->lpData, copy->cbData, &reply)) {
            client->advise = reply;
            client->advise_pending = 1;
            SetEvent(client->advise_event);
            return TRUE;
        }
        if (lvc_parse_print_end(copy->lpData, copy->cbData, &notice)) {
            client->print_end = notice;
            client->print_end_pending = 1;
            return TRUE;
        }
        if (copy->cbData >= sizeof(signature) - 1 &&
            memcmp(copy->lpData, signature, sizeof(signature) - 1) == 0) {
            size_t n = copy->cbData - (sizeof(signature) - 1);
            const char* text = (const char*)copy->lpData + sizeof(signature) - 1;
            size_t length = 0;
            while (length < n && length < sizeof(client->info) - 1 && text[length] != '\0') {
                ++length;
            }
            memcpy(client->info, text, length);
            client->info[length] = '\0';
            client->info_length = (int)length;
            client->info_pending = 1;
            return TRUE;
        }
        return FALSE;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

static int lvc_system_failure(lvc_client* client) {
    client->os_error = GetLastError();
    return LVC_E_SYSTEM;
}

static void lvc_free(lvc_client* client) {
    if (client->window != NULL) {
        DestroyWindow(client->window);
    }
    if (client->wait_event != NULL) {
        CloseHandle(client->wait_event);
    }
    if (client->advise_event != NULL) {
        CloseHandle(client->advise_event);
    }
    HeapFree(GetProcessHeap(), 0, client);
}

int LVC_API lvc_open(lvc_client** out) {
    WNDCLASSEXA window_class;
    HMODULE module = NULL;
    lvc_client* client;
    if (out == NULL) {
        return LVC_E_ARGUMENT;
    }
    *out = NULL;
    /* The module that holds the window procedure, also when the kit lives in a DLL. */
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            &lvc_module_marker, &module)) {
        return LVC_E_SYSTEM;
    }
    memset(&window_class, 0, sizeof(window_class));
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = lvc_window_proc;
    window_class.hInstance = module;
    window_class.lpszClassName = LVC_WINDOW_CLASS;
    if (RegisterClassExA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return LVC_E_SYSTEM;
    }
    client = (lvc_client*)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(lvc_client));
    if (client == NULL) {
        return LVC_E_SYSTEM;
    }
    client->timeout_ms = LVC_DEFAULT_TIMEOUT_MS;
    client->last_async_result = LVC_NOTHING_DONE;
    /* Made before registering: the gate opens it when it is created. Auto-reset, so that each wait
     * takes one signal. */
    client->wait_event = CreateEventA(NULL, FALSE, FALSE, LVC_WAIT_EVENT);
    client->advise_event = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (client->wait_event != NULL && client->advise_event != NULL) {
        client->window = CreateWindowExA(0, LVC_WINDOW_CLASS, "Lodevar client", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                         NULL, module, client);
    }
    if (client->window == NULL) {
        lvc_free(client);
        return LVC_E_SYSTEM;
    }
    *out = client;
    return LVC_DONE;
}

/* Waits for the request's thread, dispatching only the messages other threads and programs send
 * to this thread meanwhile (the driver's replies), not the caller's posted ones. The thread's own
 * sends are bounded by the client's time-out, so this wait is too. */
static void lvc_join_async(lvc_client* client) {
    for (;;) {
        MSG message;
        DWORD woke = MsgWaitForMultipleObjects(1, &client->job.thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woke != WAIT_OBJECT_0 + 1) {
            break;
        }
        PeekMessageA(&message, NULL, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(client->job.thread);
    client->job.thread = NULL;
    client->busy = 0;
}

void LVC_API lvc_close(lvc_client* client) {
    if (client == NULL) {
        return;
    }
    if (client->busy) {
        lvc_join_async(client);
    }
    if (client->gate != NULL) {
        lvc_release(client);
    }
    lvc_free(client);
}

int LVC_API lvc_set_timeout(lvc_client* client, unsigned timeout_ms) {
    if (client == NULL || timeout_ms == 0) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY; /* the running request's thread reads it */
    }
    client->timeout_ms = timeout_ms;
    return LVC_DONE;
}

unsigned LVC_API lvc_os_error(lvc_client* client) {
    return client != NULL ? (unsigned)client->os_error : 0u;
}

unsigned LVC_API lvc_driver_window(lvc_client* client) {
    return client != NULL ? (unsigned)(ULONG_PTR)client->driver : 0u;
}

unsigned LVC_API lvc_gate_window(lvc_client* client) {
    return client != NULL ? (unsigned)(ULONG_PTR)client->gate : 0u;
}

/* Sends a copy-data block from `from` and waits up to `timeout_ms` for the answer; the messages sent
 * to this thread meanwhile are dispatched (a notice can arrive during the request that failed to
 * open the printer). A Windows failure's code goes to `*os_error`. */
static int lvc_send_copy(HWND from, DWORD timeout_ms, HWND target, ULONG_PTR tag, const void* data,
                         DWORD size, LRESULT* answer, DWORD* os_error) {
    COPYDATASTRUCT copy;
    DWORD_PTR result = 0;
    copy.dwData = tag;
    copy.cbData = size;
    copy.lpData = (PVOID)(ULONG_PTR)data;
    SetLastError(0);
    if (SendMessageTimeoutA(target, WM_COPYDATA, (WPARAM)from, (LPARAM)&copy, SMTO_NORMAL, timeout_ms,
                            &result) == 0) {
        DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT || error == 0) {
            return LVC_E_TIMEOUT;
        }
        if (error == ERROR_INVALID_WINDOW_HANDLE) {
            return LVC_E_NO_DRIVER;
        }
        *os_error = error;
        return LVC_E_SYSTEM;
    }
    *answer = (LRESULT)result;
    return LVC_DONE;
}

static int lvc_send_client(lvc_client* client, HWND target, ULONG_PTR tag, const void* data, DWORD size,
                           LRESULT* answer) {
    return lvc_send_copy(client->window, client->timeout_ms, target, tag, data, size, answer,
                         &client->os_error);
}

int LVC_API lvc_find_driver(lvc_client* client) {
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    client->driver = FindWindowA(LVC_DRIVER_WINDOW, LVC_DRIVER_WINDOW);
    return client->driver != NULL ? LVC_DONE : LVC_E_NO_DRIVER;
}

static int lvc_running_on_wine(void) {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != NULL && GetProcAddress(ntdll, "wine_get_version") != NULL;
}

/* The driver's window, found again when it is not known or has gone. */
static int lvc_reach_driver(lvc_client* client) {
    if (client->driver != NULL && IsWindow(client->driver)) {
        return LVC_DONE;
    }
    return lvc_find_driver(client);
}

int LVC_API lvc_register(lvc_client* client) {
    LRESULT gate = 0;
    DWORD notice_window;
    unsigned char record[LVC_NOTICE_RECORD_BYTES];
    int result;
    int i;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    /* No data: the size field carries the window that is to receive end-of-print notices. Wine
     * delivers a block without data with its size field 0, which would lose that window: there the
     * block is the notice record, which names the window in its data. */
    notice_window = (DWORD)(ULONG_PTR)client->window;
    if (lvc_running_on_wine()) {
        memcpy(record, LVC_NOTICE_RECORD_TAG, 8);
        for (i = 0; i < 4; ++i) {
            record[8 + i] = (unsigned char)((notice_window >> (8 * i)) & 0xFFu);
        }
        result =
            lvc_send_client(client, client->driver, LVC_TAG_REGISTER, record, LVC_NOTICE_RECORD_BYTES, &gate);
    } else {
        result = lvc_send_client(client, client->driver, LVC_TAG_REGISTER, NULL, notice_window, &gate);
    }
    if (result != LVC_DONE) {
        return result;
    }
    if (gate == 0) {
        return LVC_E_REFUSED;
    }
    client->gate = (HWND)gate;
    return LVC_DONE;
}

int LVC_API lvc_release(lvc_client* client) {
    LRESULT ignored = 0;
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    client->gate = NULL;
    result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    return lvc_send_client(client, client->driver, LVC_TAG_RELEASE, NULL, 0, &ignored);
}

int LVC_API lvc_shutdown(lvc_client* client) {
    LRESULT ignored = 0;
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    return lvc_send_client(client, client->driver, LVC_TAG_SHUTDOWN, NULL, 0, &ignored);
}

/* The driver's state answer, in code page 949, into client->info. */
static int lvc_query_info(lvc_client* client) {
    LRESULT answer = 0;
    int result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    client->info_pending = 0;
    result = lvc_send_client(client, client->driver, LVC_TAG_INFO, NULL, 0, &answer);
    if (result != LVC_DONE) {
        return result;
    }
    return answer == 1 && client->info_pending ? LVC_DONE : LVC_E_REFUSED;
}

/* client->info in UTF-8 into `out`, whole lines only as far as they fit. */
static int lvc_copy_info(lvc_client* client, char* out, int size) {
    char utf8[LVC_INFO_MAX * 3 + 1];
    int length;
    int fit = 0;
    int i;
    if (out == NULL || size < 1) {
        return LVC_DONE;
    }
    length = lvc_convert(949, CP_UTF8, client->info, client->info_length, utf8, (int)sizeof(utf8));
    if (length < 0) {
        length = 0;
    }
    for (i = 0; i < length && i < size - 1; ++i) {
        if (utf8[i] == '\n') {
            fit = i + 1;
        }
    }
    if (length <= size - 1) {
        fit = length;
    }
    memcpy(out, utf8, (size_t)fit);
    out[fit] = '\0';
    return LVC_DONE;
}

int LVC_API lvc_driver_info(lvc_client* client, char* out, int size) {
    int result;
    if (client == NULL || (out != NULL && size < 1)) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    result = lvc_query_info(client);
    if (result != LVC_DONE) {
        return result;
    }
    return lvc_copy_info(client, out, size);
}

int LVC_API lvc_check_health(lvc_client* client, char* report, int size) {
    int registered_here = 0;
    int result;
    if (client == NULL || (report != NULL && size < 1)) {
        return LVC_E_ARGUMENT;
    }
    if (report != NULL) {
        report[0] = '\0';
    }
    result = lvc_find_driver(client);
    if (result == LVC_DONE && client->gate == NULL) {
        result = lvc_register(client);
        registered_here = result == LVC_DONE;
    }
    if (result == LVC_DONE) {
        result = lvc_query_info(client);
    }
    if (registered_here) {
        lvc_release(client);
    }
    if (result != LVC_DONE) {
        return result;
    }
    lvc_copy_info(client, report, size);
    return strstr(client->info, "\ndevice=open\n") != NULL ? LVC_DONE : LVC_ERR_PBPROFF;
}

int LVC_API lvc_send(lvc_client* client, const lvc_request* request) {
    LRESULT answer = 0;
    int result;
    if (client == NULL || request == NULL || request->size < LVC_HEADER_BYTES ||
        request->size > LVC_REQUEST_BYTES) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    result = lvc_send_client(client, client->gate, 0, request->text, (DWORD)request->size, &answer);
    return result == LVC_DONE ? (int)answer : result;
}

int LVC_API lvc_queue(lvc_client* client, const lvc_request* request) {
    LRESULT answer = 0;
    int result;
    if (client == NULL || request == NULL || request->size != LVC_QUEUED_BLOCK) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    /* The tag is the window whose event the driver sets once the request has run. */
    result = lvc_send_client(client, client->gate, (ULONG_PTR)client->window, request->text, LVC_QUEUED_BLOCK,
                             &answer);
    return result == LVC_DONE ? (int)answer : result;
}

int LVC_API lvc_send_block(lvc_client* client, int mode, const char* block, int size) {
    lvc_request request;
    int limit = mode == LVC_QUEUED ? LVC_QUEUED_BLOCK : LVC_REQUEST_BYTES;
    int minimum = mode == LVC_QUEUED ? 1 : LVC_HEADER_BYTES;
    if (client == NULL || block == NULL || (mode != LVC_IMMEDIATE && mode != LVC_QUEUED) || size < minimum ||
        size > limit) {
        return LVC_E_ARGUMENT;
    }
    memset(&request, 0, sizeof(request));
    memcpy(request.text, block, (size_t)size);
    if (mode == LVC_IMMEDIATE) {
        request.size = size;
        return lvc_send(client, &request);
    }
    request.size = LVC_QUEUED_BLOCK;
    if (client->wait_event != NULL) {
        ResetEvent(client->wait_event);
    }
    return lvc_queue(client, &request);
}

/* Dispatches messages until `*flag` is set, `event` is signalled (either may be null) or the time
 * is up. */
static int lvc_wait(lvc_client* client, HANDLE event, const int* flag, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed;
        DWORD woke;
        if (lvc_pump(client) == LVC_E_QUIT) {
            return LVC_E_QUIT;
        }
        if (flag != NULL && *flag) {
            return LVC_DONE;
        }
        elapsed = GetTickCount() - start; /* unsigned: right across the counter's wrap */
        if (elapsed >= timeout_ms) {
            return event != NULL && WaitForSingleObject(event, 0) == WAIT_OBJECT_0 ? LVC_DONE : LVC_E_TIMEOUT;
        }
        woke = MsgWaitForMultipleObjectsEx(event != NULL ? 1u : 0u, event != NULL ? &event : NULL,
                                           timeout_ms - elapsed, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (event != NULL && woke == WAIT_OBJECT_0) {
            return LVC_DONE;
        }
        if (woke == WAIT_FAILED) {
            return lvc_system_failure(client);
        }
    }
}

int LVC_API lvc_wait_queued(lvc_client* client, unsigned timeout_ms) {
    if (client == NULL || client->wait_event == NULL) {
        return LVC_E_ARGUMENT;
    }
    return lvc_wait(client, client->wait_event, NULL, timeout_ms);
}

int LVC_API lvc_submit(lvc_client* client, int mode, unsigned wait_ms, int letter, int field1, int field2,
                       int option, const char* data, int length) {
    lvc_request request;
    int result = lvc_build_request(&request, mode, letter, field1, field2, option, data, length);
    if (result != LVC_DONE || client == NULL) {
        return client == NULL ? LVC_E_ARGUMENT : result;
    }
    if (mode == LVC_IMMEDIATE) {
        return lvc_send(client, &request);
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    ResetEvent(client->wait_event);
    result = lvc_queue(client, &request);
    if (result != LVC_DONE || wait_ms == 0) {
        return result;
    }
    return lvc_wait_queued(client, wait_ms);
}

/* The length of a zero-terminated text, or -1 when it is longer than `limit`. */
static int lvc_bounded_length(const char* text, int limit) {
    int n = 0;
    if (text == NULL) {
        return 0;
    }
    while (text[n] != '\0') {
        if (n == limit) {
            return -1;
        }
        ++n;
    }
    return n;
}

static int lvc_simple(lvc_client* client, int letter) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, letter, 0, 0, '0', NULL, 0);
}

int LVC_API lvc_paper_in(lvc_client* client, int chit) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'I', 0, 0, chit ? '1' : '0', NULL, 0);
}

int LVC_API lvc_print(lvc_client* client, int row, int column, int font, const char* text) {
    int length = lvc_bounded_length(text, LVC_PRINT_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'L', row, column, font, text, length);
}

int LVC_API lvc_msr_write(lvc_client* client, const char* data) {
    int length = lvc_bounded_length(data, LVC_STRIPE_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'M', 0, 0, '0', data, length);
}

int LVC_API lvc_msr_read(lvc_client* client) {
    return lvc_simple(client, 'R');
}

int LVC_API lvc_advise(lvc_client* client) {
    if (client != NULL && !client->busy) {
        client->advise_pending = 0;
        ResetEvent(client->advise_event);
    }
    return lvc_simple(client, 'A');
}

int LVC_API lvc_unadvise(lvc_client* client) {
    return lvc_simple(client, 'U');
}

int LVC_API lvc_eject(lvc_client* client) {
    return lvc_simple(client, 'O');
}

int LVC_API lvc_reset(lvc_client* client) {
    return lvc_simple(client, 'S');
}

int LVC_API lvc_pitch(lvc_client* client, int cpi, int lpi) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'C', cpi, lpi, '0', NULL, 0);
}

int LVC_API lvc_take_advise(lvc_client* client, lvc_advise_reply* out) {
    if (client == NULL || !client->advise_pending) {
        return 0;
    }
    client->advise_pending = 0;
    if (out != NULL) {
        *out = client->advise;
    }
    return 1;
}

int LVC_API lvc_take_print_end(lvc_client* client, lvc_print_end* out) {
    if (client == NULL || !client->print_end_pending) {
        return 0;
    }
    client->print_end_pending = 0;
    if (out != NULL) {
        *out = client->print_end;
    }
    return 1;
}

int LVC_API lvc_wait_advise(lvc_client* client, unsigned timeout_ms, lvc_advise_reply* out) {
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    result = lvc_wait(client, NULL, &client->advise_pending, timeout_ms);
    if (result == LVC_DONE) {
        lvc_take_advise(client, out);
    }
    return result;
}

int LVC_API lvc_wait_print_end(lvc_client* client, unsigned timeout_ms, lvc_print_end* out) {
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    result = lvc_wait(client, NULL, &client->print_end_pending, timeout_ms);
    if (result == LVC_DONE) {
        lvc_take_print_end(client, out);
    }
    return result;
}

int LVC_API lvc_read_stripe(lvc_client* client, unsigned timeout_ms, char* out, int size) {
    int result;
    if (client == NULL || out == NULL || size < LVC_ADVISE_DATA_MAX + 1) {
        return LVC_E_ARGUMENT;
    }
    out[0] = '\0';
    result = lvc_advise(client);
    if (result != LVC_DONE) {
        return result;
    }
    result = lvc_wait_advise(client, timeout_ms, NULL);
    if (result != LVC_DONE) {
        /* No stripe in time: the driver's wait ends here, not at the next card. */
        lvc_unadvise(client);
        return result;
    }
    return lvc_last_stripe(client, out, size) >= 0 ? LVC_DONE : LVC_E_ARGUMENT;
}

int LVC_API lvc_last_stripe(lvc_client* client, char* out, int size) {
    if (client == NULL || out == NULL || size < LVC_ADVISE_DATA_MAX + 1) {
        return LVC_E_ARGUMENT;
    }
    memcpy(out, client->advise.data, sizeof(client->advise.data));
    return client->advise.length;
}

int LVC_API lvc_pump(lvc_client* client) {
    MSG message;
    (void)client;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam); /* for the caller's own loop */
            return LVC_E_QUIT;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return LVC_DONE;
}

/* ---- asynchronous requests -------------------------------------------------------------------- */

/* The request's own thread: the same sends as the synchronous calls, from the client's window (its
 * replies come to the client's thread), then a message to that window. */
static DWORD WINAPI lvc_async_thread(LPVOID parameter) {
    lvc_client* client = (lvc_client*)parameter;
    lvc_job* job = &client->job;
    LRESULT answer = 0;
    int result = lvc_send_copy(client->window, client->timeout_ms, client->gate, 0, job->request.text,
                               (DWORD)job->request.size, &answer, &job->os_error);
    if (result == LVC_DONE) {
        result = (int)answer;
    }
    if (job->stripe && result == LVC_DONE) {
        if (WaitForSingleObject(client->advise_event, job->timeout_ms) != WAIT_OBJECT_0) {
            lvc_request unadvise;
            lvc_build_request(&unadvise, LVC_IMMEDIATE, 'U', 0, 0, '0', NULL, 0);
            lvc_send_copy(client->window, client->timeout_ms, client->gate, 0, unadvise.text,
                          (DWORD)unadvise.size, &answer, &job->os_error);
            result = LVC_E_TIMEOUT;
        }
    }
    job->result = result;
    PostMessageA(client->window, LVC_WM_ASYNC_DONE, 0, 0);
    return 0;
}

static void lvc_async_ended(lvc_client* client) {
    lvc_job* job = &client->job;
    HWND window = client->completion_window;
    lvc_completion completion = client->completion;
    if (!client->busy) {
        return; /* already joined by lvc_close */
    }
    WaitForSingleObject(job->thread, INFINITE); /* it has posted: it is ending */
    CloseHandle(job->thread);
    job->thread = NULL;
    client->busy = 0;
    client->last_async_result = job->result;
    if (job->result == LVC_E_SYSTEM) {
        client->os_error = job->os_error;
    }
    if (job->stripe && job->result == LVC_DONE) {
        client->advise_pending = 0; /* taken: lvc_last_stripe has it */
    }
    if (window != NULL) {
        PostMessageA(window, client->completion_message, (WPARAM)job->letter, (LPARAM)job->result);
    }
    if (completion != NULL) {
        completion(client, job->letter, job->result, client->completion_context);
    }
}

int LVC_API lvc_set_completion(lvc_client* client, HWND window, unsigned message, lvc_completion callback,
                               void* context) {
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    client->completion_window = window;
    client->completion_message = message;
    client->completion = callback;
    client->completion_context = context;
    return LVC_DONE;
}

static int lvc_start_async(lvc_client* client, int stripe, unsigned timeout_ms, int letter, int field1,
                           int field2, int option, const char* data, int length) {
    lvc_job* job;
    DWORD id = 0;
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->busy) {
        return LVC_E_BUSY;
    }
    job = &client->job;
    memset(job, 0, sizeof(*job));
    result = lvc_build_request(&job->request, LVC_IMMEDIATE, letter, field1, field2, option, data, length);
    if (result != LVC_DONE) {
        return result;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    job->letter = stripe ? LVC_STRIPE_REQUEST : letter;
    job->stripe = stripe;
    job->timeout_ms = timeout_ms;
    if (stripe) {
        client->advise_pending = 0;
        ResetEvent(client->advise_event);
    }
    job->thread = CreateThread(NULL, 0, lvc_async_thread, client, 0, &id);
    if (job->thread == NULL) {
        return lvc_system_failure(client);
    }
    client->busy = 1;
    return LVC_DONE;
}

int LVC_API lvc_submit_async(lvc_client* client, int letter, int field1, int field2, int option,
                             const char* data, int length) {
    return lvc_start_async(client, 0, 0, letter, field1, field2, option, data, length);
}

int LVC_API lvc_paper_in_async(lvc_client* client, int chit) {
    return lvc_submit_async(client, 'I', 0, 0, chit ? '1' : '0', NULL, 0);
}

int LVC_API lvc_print_async(lvc_client* client, int row, int column, int font, const char* text) {
    int length = lvc_bounded_length(text, LVC_PRINT_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit_async(client, 'L', row, column, font, text, length);
}

int LVC_API lvc_msr_write_async(lvc_client* client, const char* data) {
    int length = lvc_bounded_length(data, LVC_STRIPE_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit_async(client, 'M', 0, 0, '0', data, length);
}

int LVC_API lvc_msr_read_async(lvc_client* client) {
    return lvc_submit_async(client, 'R', 0, 0, '0', NULL, 0);
}

int LVC_API lvc_eject_async(lvc_client* client) {
    return lvc_submit_async(client, 'O', 0, 0, '0', NULL, 0);
}

int LVC_API lvc_reset_async(lvc_client* client) {
    return lvc_submit_async(client, 'S', 0, 0, '0', NULL, 0);
}

int LVC_API lvc_read_stripe_async(lvc_client* client, unsigned timeout_ms) {
    return lvc_start_async(client, 1, timeout_ms, 'A', 0, 0, '0', NULL, 0);
}

int LVC_API lvc_async_pending(lvc_client* client) {
    return client != NULL && client->busy ? 1 : 0;
}

int LVC_API lvc_async_result(lvc_client* client) {
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    return client->busy ? LVC_E_BUSY : client->last_async_result;
}

/* ---- text ------------------------------------------------------------------------------------- */

/* Converts through UTF-16, refusing characters the target code page does not have. */
static int lvc_convert(UINT from, UINT to, const char* text, int length, char* out, int size) {
    WCHAR wide[LVC_INFO_MAX];
    int wide_length;
    int result;
    BOOL defaulted = FALSE;
    if (text == NULL || out == NULL || size < 1 || length < 0) {
        return LVC_E_ARGUMENT;
    }
    if (length == 0) {
        out[0] = '\0';
        return 0;
    }
    wide_length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text, length, wide, LVC_INFO_MAX);
    if (wide_length <= 0) {
        return LVC_E_ARGUMENT;
    }
    result =
        WideCharToMultiByte(to, 0, wide, wide_length, out, size - 1, NULL, to == CP_UTF8 ? NULL : &defaulted);
    if (result <= 0 || defaulted) {
        out[0] = '\0';
        return LVC_E_ARGUMENT;
    }
    out[result] = '\0';
    return result;
}

int LVC_API lvc_utf8_to_cp949(const char* utf8, char* out, int size) {
    int length = lvc_bounded_length(utf8, 0x7FFFFFFF);
    return lvc_convert(CP_UTF8, 949, utf8, length, out, size);
}

int LVC_API lvc_cp949_to_utf8(const char* cp949, int length, char* out, int size) {
    return lvc_convert(949, CP_UTF8, cp949, length, out, size);
}

#endif /* _WIN32 */
