/* lodevar_client.c: the client kit of the Lodevar driver (see lodevar_client.h). No exceptions, no
 * allocation: everything lives in the caller's lvc_client and lvc_request. */
#include "lodevar_client.h"

#include <string.h>

/* ---- results --------------------------------------------------------------------------------- */

typedef struct lvc_status_entry {
    int code;
    const char* name;
    const char* text; /* UTF-8 */
} lvc_status_entry;

/* The driver's codes with their names and Korean texts, then the codes it leaves unnamed and the
 * kit's own. */
static const lvc_status_entry lvc_status_table[] = {
    {1, "DONE", "done"},
    {0, "NOTHING_DONE", "nothing done"},
    {-1, "FAILED", "the printer operation failed"},
    {16, "ERR_ROWOVER", "행 초과"},
    {18, "ERR_DATOVER", "자료길이 초과"},
    {27, "CANCELLED", "취소키를 입력하였음"},
    {33, "ERR_RCUNITS", " 행열 SENSOR 고장"},
    {34, "ERR_PGSENSE", "리본 교환"},
    {36, "ERR_CRIBBON", ""},
    {40, "ERR_COLOVER", "열 초과"},
    {49, "ERR_PAPERJM", "용지 걸림 - 리셋을 누르세요"},
    {50, "ERR_NOPAPER", "용지 없음 - 용지 삽입"},
    {52, "ERR_NOEXIST", " 입구에 매체있음 - 매체 재삽입"},
    {56, "ERR_COMMAND", "COMMAND ERROR - 인쇄위치 확인"},
    {65, "BANK_TONGJN", "통장이 들어와 있음"},
    {66, "BANK_JUNPYO", "전표가 들어와 있음"},
    {67, "BANK_CHITIN", ""},
    {80, "BANK_NORMAL", "정상 상태임"},
    {84, "BANK_LASTOK", ""},
    {85, "BANK_ACTING", "동작중임"},
    {88, "ERR_PAPOVER", "용지가 너무깊이 들어감"},
    {97, "ERR_RCVOVER", "인쇄기기 이상"},
    {113, "ERR_MSRRDWR", "MS READ/WRITE ERROR"},
    {114, "ERR_MSRREAD", "MS READ ERROR "},
    {127, "ERR_UFORMAT", "Write정보 없음. (unformatted)"},
    {133, "BANK_MSR_NO", "Msr이 없음"},
    {134, "BANK_MSR_OK", "MSR을 정상적으로 읽었음"},
    {135, "BANK_END_DETECT", ""},
    {144, "ERR_GARBAGE", "매체에 이물질 있음"},
    {241, "ERR_UNKNOWN", "이유를 모르는 에러"},
    {242, "ERR_PBPROFF", "Response가 없다"},
    {LVC_E_ARGUMENT, "LVC_E_ARGUMENT", "the request breaks a limit; nothing was sent"},
    {LVC_E_NO_DRIVER, "LVC_E_NO_DRIVER", "the driver is not running"},
    {LVC_E_NOT_REGISTERED, "LVC_E_NOT_REGISTERED", "not registered with the driver"},
    {LVC_E_REFUSED, "LVC_E_REFUSED", "the driver gave no gate"},
    {LVC_E_TIMEOUT, "LVC_E_TIMEOUT", "no answer in time"},
    {LVC_E_SYSTEM, "LVC_E_SYSTEM", "a Windows call failed"},
    {LVC_E_QUIT, "LVC_E_QUIT", "the program is quitting"},
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

const char* lvc_status_name(int code) {
    const lvc_status_entry* entry = lvc_find_status(code);
    return entry != NULL ? entry->name : "UNKNOWN";
}

const char* lvc_status_text(int code) {
    const lvc_status_entry* entry = lvc_find_status(code);
    return entry != NULL ? entry->text : "";
}

int lvc_succeeded(char letter, int result) {
    return result == LVC_DONE || (letter == 'L' && result == LVC_NOTHING_DONE);
}

/* ---- requests -------------------------------------------------------------------------------- */

static int lvc_is_request_letter(char letter) {
    return letter != '\0' && strchr("ACILMORSU", letter) != NULL;
}

/* Writes `value` (0 .. 10^width - 1) as `width` decimal digits. */
static void lvc_put_digits(char* at, int width, int value) {
    int i;
    for (i = width - 1; i >= 0; --i) {
        at[i] = (char)('0' + value % 10);
        value /= 10;
    }
}

int lvc_build_request(lvc_request* out, int mode, char letter, int field1, int field2, char option,
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
    out->text[0] = letter;
    lvc_put_digits(out->text + 1, 2, field1);
    lvc_put_digits(out->text + 3, 2, field2);
    out->text[5] = option;
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

int lvc_parse_advise(const void* block, size_t size, lvc_advise_reply* out) {
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

int lvc_parse_print_end(const void* block, size_t size, lvc_print_end* out) {
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
#define LVC_TAG_REGISTER 1
#define LVC_TAG_RELEASE 2
#define LVC_TAG_SHUTDOWN 3

/* An address inside the kit's own module. */
static const char lvc_module_marker = 0;

static LRESULT CALLBACK lvc_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    lvc_client* client = (lvc_client*)GetWindowLongPtrA(window, GWLP_USERDATA);
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = (const CREATESTRUCTA*)lparam;
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)create->lpCreateParams);
        return TRUE;
    }
    if (message == WM_COPYDATA && client != NULL) {
        const COPYDATASTRUCT* copy = (const COPYDATASTRUCT*)lparam;
        lvc_advise_reply reply;
        lvc_print_end notice;
        if (copy == NULL || copy->lpData == NULL) {
            return FALSE;
        }
        /* Told apart by their layout: the driver's copy-data tags carry no meaning. */
        if (lvc_parse_advise(copy->lpData, copy->cbData, &reply)) {
            client->advise = reply;
            client->advise_gate = (HWND)wparam;
            client->advise_pending = 1;
            return TRUE;
        }
        if (lvc_parse_print_end(copy->lpData, copy->cbData, &notice)) {
            client->print_end = notice;
            client->print_end_pending = 1;
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

int lvc_open(lvc_client* client) {
    WNDCLASSEXA window_class;
    HMODULE module = NULL;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    memset(client, 0, sizeof(*client));
    client->timeout_ms = LVC_DEFAULT_TIMEOUT_MS;
    /* The module that holds the window procedure, also when the kit lives in a DLL. */
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            &lvc_module_marker, &module)) {
        return lvc_system_failure(client);
    }
    memset(&window_class, 0, sizeof(window_class));
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = lvc_window_proc;
    window_class.hInstance = module;
    window_class.lpszClassName = LVC_WINDOW_CLASS;
    if (RegisterClassExA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return lvc_system_failure(client);
    }
    /* Made before registering: the gate opens it when it is created. Auto-reset, so that each wait
     * takes one signal. */
    client->wait_event = CreateEventA(NULL, FALSE, FALSE, LVC_WAIT_EVENT);
    if (client->wait_event == NULL) {
        return lvc_system_failure(client);
    }
    client->window = CreateWindowExA(0, LVC_WINDOW_CLASS, "Lodevar client", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                     module, client);
    if (client->window == NULL) {
        int result = lvc_system_failure(client);
        CloseHandle(client->wait_event);
        client->wait_event = NULL;
        return result;
    }
    return LVC_DONE;
}

void lvc_close(lvc_client* client) {
    if (client == NULL) {
        return;
    }
    if (client->gate != NULL) {
        lvc_release(client);
    }
    if (client->window != NULL) {
        DestroyWindow(client->window);
        client->window = NULL;
    }
    if (client->wait_event != NULL) {
        CloseHandle(client->wait_event);
        client->wait_event = NULL;
    }
}

/* Sends a copy-data block and waits for the answer, dispatching the messages sent to this thread
 * meanwhile (a notice can arrive during the request that failed to open the printer). */
static int lvc_send_copy(lvc_client* client, HWND target, ULONG_PTR tag, const void* data, DWORD size,
                         LRESULT* answer) {
    COPYDATASTRUCT copy;
    DWORD_PTR result = 0;
    copy.dwData = tag;
    copy.cbData = size;
    copy.lpData = (PVOID)(ULONG_PTR)data;
    SetLastError(0);
    if (SendMessageTimeoutA(target, WM_COPYDATA, (WPARAM)client->window, (LPARAM)&copy, SMTO_NORMAL,
                            client->timeout_ms, &result) == 0) {
        DWORD error = GetLastError();
        if (error == ERROR_TIMEOUT || error == 0) {
            return LVC_E_TIMEOUT;
        }
        if (error == ERROR_INVALID_WINDOW_HANDLE) {
            return LVC_E_NO_DRIVER;
        }
        client->os_error = error;
        return LVC_E_SYSTEM;
    }
    *answer = (LRESULT)result;
    return LVC_DONE;
}

int lvc_find_driver(lvc_client* client) {
    if (client == NULL) {
        return LVC_E_ARGUMENT;
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

int lvc_register(lvc_client* client) {
    LRESULT gate = 0;
    DWORD notice_window;
    unsigned char record[LVC_NOTICE_RECORD_BYTES];
    int result;
    int i;
    if (client == NULL || client->window == NULL) {
        return LVC_E_ARGUMENT;
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
            lvc_send_copy(client, client->driver, LVC_TAG_REGISTER, record, LVC_NOTICE_RECORD_BYTES, &gate);
    } else {
        result = lvc_send_copy(client, client->driver, LVC_TAG_REGISTER, NULL, notice_window, &gate);
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

int lvc_release(lvc_client* client) {
    LRESULT ignored = 0;
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    client->gate = NULL;
    result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    return lvc_send_copy(client, client->driver, LVC_TAG_RELEASE, NULL, 0, &ignored);
}

int lvc_shutdown(lvc_client* client) {
    LRESULT ignored = 0;
    int result;
    if (client == NULL || client->window == NULL) {
        return LVC_E_ARGUMENT;
    }
    result = lvc_reach_driver(client);
    if (result != LVC_DONE) {
        return result;
    }
    return lvc_send_copy(client, client->driver, LVC_TAG_SHUTDOWN, NULL, 0, &ignored);
}

int lvc_send(lvc_client* client, const lvc_request* request) {
    LRESULT answer = 0;
    int result;
    if (client == NULL || request == NULL || request->size < LVC_HEADER_BYTES ||
        request->size > LVC_REQUEST_BYTES) {
        return LVC_E_ARGUMENT;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    result = lvc_send_copy(client, client->gate, 0, request->text, (DWORD)request->size, &answer);
    return result == LVC_DONE ? (int)answer : result;
}

int lvc_queue(lvc_client* client, const lvc_request* request) {
    LRESULT answer = 0;
    int result;
    if (client == NULL || request == NULL || request->size != LVC_QUEUED_BLOCK) {
        return LVC_E_ARGUMENT;
    }
    if (client->gate == NULL) {
        return LVC_E_NOT_REGISTERED;
    }
    /* The tag is the window whose event the driver sets once the request has run. */
    result = lvc_send_copy(client, client->gate, (ULONG_PTR)client->window, request->text, LVC_QUEUED_BLOCK,
                           &answer);
    return result == LVC_DONE ? (int)answer : result;
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

int lvc_wait_queued(lvc_client* client, DWORD timeout_ms) {
    if (client == NULL || client->wait_event == NULL) {
        return LVC_E_ARGUMENT;
    }
    return lvc_wait(client, client->wait_event, NULL, timeout_ms);
}

int lvc_submit(lvc_client* client, int mode, DWORD wait_ms, char letter, int field1, int field2, char option,
               const char* data, int length) {
    lvc_request request;
    int result = lvc_build_request(&request, mode, letter, field1, field2, option, data, length);
    if (result != LVC_DONE || client == NULL) {
        return client == NULL ? LVC_E_ARGUMENT : result;
    }
    if (mode == LVC_IMMEDIATE) {
        return lvc_send(client, &request);
    }
    if (client->wait_event == NULL) {
        return LVC_E_ARGUMENT;
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

static int lvc_simple(lvc_client* client, char letter) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, letter, 0, 0, '0', NULL, 0);
}

int lvc_paper_in(lvc_client* client, int chit) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'I', 0, 0, chit ? '1' : '0', NULL, 0);
}

int lvc_print(lvc_client* client, int row, int column, char font, const char* text) {
    int length = lvc_bounded_length(text, LVC_PRINT_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'L', row, column, font, text, length);
}

int lvc_msr_write(lvc_client* client, const char* data) {
    int length = lvc_bounded_length(data, LVC_STRIPE_MAX);
    if (length < 0) {
        return LVC_E_ARGUMENT;
    }
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'M', 0, 0, '0', data, length);
}

int lvc_msr_read(lvc_client* client) {
    return lvc_simple(client, 'R');
}

int lvc_advise(lvc_client* client) {
    if (client != NULL) {
        client->advise_pending = 0;
    }
    return lvc_simple(client, 'A');
}

int lvc_unadvise(lvc_client* client) {
    return lvc_simple(client, 'U');
}

int lvc_eject(lvc_client* client) {
    return lvc_simple(client, 'O');
}

int lvc_reset(lvc_client* client) {
    return lvc_simple(client, 'S');
}

int lvc_pitch(lvc_client* client, int cpi, int lpi) {
    return lvc_submit(client, LVC_IMMEDIATE, 0, 'C', cpi, lpi, '0', NULL, 0);
}

int lvc_wait_advise(lvc_client* client, DWORD timeout_ms, lvc_advise_reply* out) {
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    result = lvc_wait(client, NULL, &client->advise_pending, timeout_ms);
    if (result == LVC_DONE) {
        client->advise_pending = 0;
        if (out != NULL) {
            *out = client->advise;
        }
    }
    return result;
}

int lvc_wait_print_end(lvc_client* client, DWORD timeout_ms, lvc_print_end* out) {
    int result;
    if (client == NULL) {
        return LVC_E_ARGUMENT;
    }
    result = lvc_wait(client, NULL, &client->print_end_pending, timeout_ms);
    if (result == LVC_DONE) {
        client->print_end_pending = 0;
        if (out != NULL) {
            *out = client->print_end;
        }
    }
    return result;
}

int lvc_pump(lvc_client* client) {
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

/* Converts through UTF-16, refusing characters the target code page does not have. */
static int lvc_convert(UINT from, UINT to, const char* text, int length, char* out, int size) {
    WCHAR wide[2048];
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
    wide_length = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text, length, wide, 2048);
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

int lvc_utf8_to_cp949(const char* utf8, char* out, int size) {
    int length = lvc_bounded_length(utf8, 0x7FFFFFFF);
    return lvc_convert(CP_UTF8, 949, utf8, length, out, size);
}

int lvc_cp949_to_utf8(const char* cp949, int length, char* out, int size) {
    return lvc_convert(949, CP_UTF8, cp949, length, out, size);
}

#endif /* _WIN32 */
