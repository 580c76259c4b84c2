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
 * The test (kit_test.sh) holds what each step must give. Exit code 1 when the DLL or a function of
 * it is missing, 0 otherwise. */
#include <stdio.h>
#include <string.h>

#include <windows.h>

#define COMPLETION_MESSAGE (WM_APP + 7)
#define TICK_TIMER 1

typedef struct client client;
typedef void(__stdcall* completion_fn)(client*, int, int, void*);

/* Each function the session uses: its result, its name, its arguments. */
#define LVC_FUNCTIONS(X)                                                        \
    X(int, lvc_version, (char*, int))                                           \
    X(const char*, lvc_status_name, (int))                                      \
    X(int, lvc_open, (client**))                                                \
    X(void, lvc_close, (client*))                                               \
    X(int, lvc_set_timeout, (client*, unsigned))                                \
    X(int, lvc_check_health, (client*, char*, int))                             \
    X(int, lvc_register, (client*))                                             \
    X(int, lvc_release, (client*))                                              \
    X(int, lvc_set_completion, (client*, HWND, unsigned, completion_fn, void*)) \
    X(int, lvc_paper_in_async, (client*, int))                                  \
    X(int, lvc_eject_async, (client*))                                          \
    X(int, lvc_async_pending, (client*))                                        \
    X(int, lvc_print, (client*, int, int, int, const char*))                    \
    X(int, lvc_utf8_to_cp949, (const char*, char*, int))                        \
    X(int, lvc_read_stripe, (client*, unsigned, char*, int))                    \
    X(int, lvc_eject, (client*))

#define DECLARE(result, name, arguments) static result(__stdcall* name) arguments;
LVC_FUNCTIONS(DECLARE)

static HMODULE dll;
static int missing;
static int ticks;
static int message_result = -9999;
static int callback_result = -9999;
static int callback_request;

static FARPROC find(const char* name) {
    FARPROC address = GetProcAddress(dll, name);
    if (address == NULL) {
        printf("missing\t%s\n", name);
        ++missing;
    }
    return address;
}

/* Through the one function pointer type that converts to every other. */
#define BIND(result, name, arguments) name = (result(__stdcall*) arguments)(void (*)(void))find(#name);

static void step(const char* what, int result) {
    printf("%s\t%d\t%s\n", what, result, lvc_status_name(result));
    fflush(stdout);
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
 * ended (its window message and its callback have come) or 30 s have passed. For a request that
 * waits (`waits`: a paper-in), says whether the window's timer ticked meanwhile, ten times at least. */
static void run_loop_until_done(HWND window, const char* what, int waits) {
    DWORD start = GetTickCount();
    MSG message;
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
    printf("%s\t%d\t%s\tcallback %c %d%s\n", what, message_result, lvc_status_name(message_result),
           (char)callback_request, callback_result,
           !waits        ? ""
           : ticks >= 10 ? ", the window ticked through the wait"
                         : ", the window did not tick");
    fflush(stdout);
}

int main(void) {
    client* c = NULL;
    char text[4096];
    char korean[129];

    /* By its plain name, from the program's folder, as P/Invoke and VB6 load it. */
    dll = LoadLibraryA("lodevar_client.dll");
    if (dll == NULL) {
        printf("load\tlodevar_client.dll: error %lu\n", GetLastError());
        return 1;
    }
    LVC_FUNCTIONS(BIND)
    if (missing != 0) {
        return 1;
    }

    HWND window =
        CreateWindowA("STATIC", "dll client", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, NULL, NULL, NULL, NULL);
    SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)window_proc);

    printf("version\t%d\t%s\n", lvc_version(text, (int)sizeof(text)), text);
    step("open", lvc_open(&c));
    lvc_set_timeout(c, 30000);
    step("health", lvc_check_health(c, text, (int)sizeof(text)));
    printf("health-state\t%s\n", strstr(text, "device=open\n") != NULL ? "device=open" : "device not open");
    step("register", lvc_register(c));

    lvc_set_completion(c, window, COMPLETION_MESSAGE, on_completion, NULL);
    step("paper-in-async started", lvc_paper_in_async(c, 0));
    step("while it runs, a second", lvc_paper_in_async(c, 0));
    run_loop_until_done(window, "paper-in-async", 1);
    step("pending after the end", lvc_async_pending(c));

    step("print row 3", lvc_print(c, 3, 2, '1', "DLL CLIENT"));
    int length = lvc_utf8_to_cp949("디엘엘 고객", korean, (int)sizeof(korean));
    step("print row 4", length > 0 ? lvc_print(c, 4, 2, '3', korean) : length);
    step("eject-async started", lvc_eject_async(c));
    run_loop_until_done(window, "eject-async", 0);

    /* The passbook comes again with its stripe. */
    step("read-stripe", lvc_read_stripe(c, 20000, text, (int)sizeof(text)));
    printf("stripe\t[%s]\n", text);
    step("eject", lvc_eject(c));
    step("read-stripe, no passbook", lvc_read_stripe(c, 2000, text, (int)sizeof(text)));
    step("release", lvc_release(c));
    lvc_close(c);
    DestroyWindow(window);
    return 0;
}
