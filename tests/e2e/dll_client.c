/* dll-client: a teller program that uses lodevar_client.dll the way another language's runtime does
 * (C#'s P/Invoke, VB6's Declare): it loads the DLL by its plain name, looks every function it uses up
 * by its exported name and calls it through a __stdcall pointer. Nothing of the kit is linked in.
 * (That the DLL exports every name of the .def file is checked without Wine, by kit.exports.)
 *
 * A session against the driver, one line per step ("STEP<TAB>RESULT<TAB>NAME[<TAB>DETAIL]"):
 *   version, open, health (the printer's state), register,
 *   a paper-in started asynchronously: the program's own window thread keeps handling its messages
 *   (a timer ticks every 50 ms) until the end arrives both as its window message and its callback,
 *   two prints (one Korean), an eject started asynchronously,
 *   a stripe read in one call (the passbook comes again with its stripe), an eject,
 *   a stripe read with no passbook coming (2 s: the time-out), release, close.
 * Exit code 0 when every step gave what the session expects of it, 1 otherwise. */
#include <stdio.h>
#include <string.h>

#include <windows.h>

#define DONE 1
#define TIMEOUT (-1005)
#define COMPLETION_MESSAGE (WM_APP + 7)
#define TICK_TIMER 1

typedef struct client client;
typedef void(__stdcall* completion_fn)(client*, int, int, void*);

static int(__stdcall* lvc_version)(char*, int);
static const char*(__stdcall* lvc_status_name)(int);
static int(__stdcall* lvc_open)(client**);
static void(__stdcall* lvc_close)(client*);
static int(__stdcall* lvc_set_timeout)(client*, unsigned);
static int(__stdcall* lvc_check_health)(client*, char*, int);
static int(__stdcall* lvc_register)(client*);
static int(__stdcall* lvc_release)(client*);
static int(__stdcall* lvc_set_completion)(client*, HWND, unsigned, completion_fn, void*);
static int(__stdcall* lvc_paper_in_async)(client*, int);
static int(__stdcall* lvc_eject_async)(client*);
static int(__stdcall* lvc_async_pending)(client*);
static int(__stdcall* lvc_print)(client*, int, int, int, const char*);
static int(__stdcall* lvc_utf8_to_cp949)(const char*, char*, int);
static int(__stdcall* lvc_read_stripe)(client*, unsigned, char*, int);
static int(__stdcall* lvc_eject)(client*);

static HMODULE dll;
static int failures;
static int ticks;
static int message_result = -9999;
static int callback_result = -9999;
static int callback_request;

static FARPROC find(const char* name) {
    FARPROC address = GetProcAddress(dll, name);
    if (address == NULL) {
        printf("missing\t%s\n", name);
        ++failures;
    }
    return address;
}

/* Through the one function pointer type that converts to every other. */
#define BIND(name) name = (__typeof__(name))(void (*)(void))find(#name)

static int step(const char* what, int result, int expected) {
    printf("%s\t%d\t%s\n", what, result, lvc_status_name(result));
    fflush(stdout);
    if (result != expected) {
        ++failures;
    }
    return result;
}

static void __stdcall on_completion(client* c, int request, int result, void* context) {
    (void)c;
    (void)context;
    callback_request = request;
    callback_result = result;
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_TIMER) {
        ++ticks;
        return 0;
    }
    if (message == COMPLETION_MESSAGE) {
        message_result = (int)lparam;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

/* Runs the thread's message loop, as a window program does, until the asynchronous request has
 * ended (its window message and its callback have come) or 30 s have passed. A request that waits
 * (`waits`: a paper-in) must see the window's timer tick meanwhile, at least ten times. */
static void run_loop_until_done(HWND window, const char* what, int expected, int waits) {
    DWORD start = GetTickCount();
    MSG message;
    char detail[160];
    ticks = 0;
    message_result = callback_result = -9999;
    SetTimer(window, TICK_TIMER, 50, NULL);
    while ((message_result == -9999 || callback_result == -9999) && GetTickCount() - start < 30000) {
        if (MsgWaitForMultipleObjects(0, NULL, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0) {
            while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
    }
    KillTimer(window, TICK_TIMER);
    snprintf(detail, sizeof(detail), "%s\t%d\t%s\tcallback %c %d%s", what, message_result,
             lvc_status_name(message_result), (char)callback_request, callback_result,
             !waits        ? ""
             : ticks >= 10 ? ", the window ticked through the wait"
                           : ", the window did not tick");
    printf("%s\n", detail);
    fflush(stdout);
    if (message_result != expected || callback_result != expected || (waits && ticks < 10)) {
        ++failures;
    }
}

int main(void) {
    client* c = NULL;
    char text[4096];
    char korean[129];
    WNDCLASSA window_class;
    HWND window;
    int length;

    /* By its plain name, from the program's folder, as P/Invoke and VB6 load it. */
    dll = LoadLibraryA("lodevar_client.dll");
    if (dll == NULL) {
        printf("load\tlodevar_client.dll: error %lu\n", GetLastError());
        return 1;
    }
    BIND(lvc_version);
    BIND(lvc_status_name);
    BIND(lvc_open);
    BIND(lvc_close);
    BIND(lvc_set_timeout);
    BIND(lvc_check_health);
    BIND(lvc_register);
    BIND(lvc_release);
    BIND(lvc_set_completion);
    BIND(lvc_paper_in_async);
    BIND(lvc_eject_async);
    BIND(lvc_async_pending);
    BIND(lvc_print);
    BIND(lvc_utf8_to_cp949);
    BIND(lvc_read_stripe);
    BIND(lvc_eject);
    if (failures != 0) {
        return 1;
    }

    memset(&window_class, 0, sizeof(window_class));
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = "DllClientWindow";
    RegisterClassA(&window_class);
    window = CreateWindowA("DllClientWindow", "dll client", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL,
                           window_class.hInstance, NULL);

    printf("version\t%d\t", lvc_version(text, (int)sizeof(text)));
    printf("%s\n", text);
    step("open", lvc_open(&c), DONE);
    lvc_set_timeout(c, 30000);
    step("health", lvc_check_health(c, text, (int)sizeof(text)), DONE);
    printf("health-state\t%s\n", strstr(text, "device=open\n") != NULL ? "device=open" : "device not open");
    step("register", lvc_register(c), DONE);

    lvc_set_completion(c, window, COMPLETION_MESSAGE, on_completion, NULL);
    step("paper-in-async started", lvc_paper_in_async(c, 0), DONE);
    step("while it runs, a second", lvc_paper_in_async(c, 0), -1008);
    run_loop_until_done(window, "paper-in-async", DONE, 1);
    step("pending after the end", lvc_async_pending(c), 0);

    step("print row 3", lvc_print(c, 3, 2, '1', "DLL CLIENT"), DONE);
    length = lvc_utf8_to_cp949("디엘엘 고객", korean, (int)sizeof(korean));
    step("print row 4", length > 0 ? lvc_print(c, 4, 2, '3', korean) : length, DONE);
    step("eject-async started", lvc_eject_async(c), DONE);
    run_loop_until_done(window, "eject-async", DONE, 0);

    /* The passbook comes again with its stripe. */
    step("read-stripe", lvc_read_stripe(c, 20000, text, (int)sizeof(text)), DONE);
    printf("stripe\t[%s]\n", text);
    step("eject", lvc_eject(c), DONE);
    step("read-stripe, no passbook", lvc_read_stripe(c, 2000, text, (int)sizeof(text)), TIMEOUT);
    step("release", lvc_release(c), DONE);
    lvc_close(c);
    DestroyWindow(window);
    printf("failures\t%d\n", failures);
    return failures == 0 ? 0 : 1;
}
