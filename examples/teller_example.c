/* teller_example.c: a complete small teller application on the Lodevar client kit.
 *
 * It registers with the driver, takes in a passbook, prints two lines (one in Godic, one in Korean
 * in Myoungjo), ejects the passbook and releases its gate, printing each step's result: the code,
 * its name and its text. It ends with 0 when every step succeeded.
 *
 * Build it with the kit's source (a static build), for example with mingw-w64 from the repository's
 * top folder (lodevar_version.h and lodevar_texts.h are made by the build, and are in the developers'
 * zip):
 *   x86_64-w64-mingw32-gcc -I. -Ibuild/mingw-x64/generated -o teller_example.exe \
 *       examples/teller_example.c client/lodevar_client.c
 * or against the DLL: the same program linked with lodevar_client.dll instead of the .c.
 */
#include <stdio.h>

#include "client/lodevar_client.h"

/* Prints one step and its result; answers the result. */
static int show(const char* step, int result) {
    printf("%-20s %5d  %-16s %s\n", step, result, lvc_status_name(result), lvc_status_text(result));
    fflush(stdout);
    return result;
}

int main(void) {
    lvc_client* client = NULL;
    char korean[LVC_PRINT_MAX + 1];
    int result;

    /* The status texts are UTF-8: a console shows them as they are. */
    SetConsoleOutputCP(CP_UTF8);

    /* The client's own hidden window and the wait event; then the driver's gate. */
    result = show("open", lvc_open(&client));
    if (result == LVC_DONE) {
        /* A paper-in waits until the teller puts the passbook in: give each request 30 s. */
        lvc_set_timeout(client, 30000);
        result = show("register", lvc_register(client));
    }
    if (result == LVC_DONE) {
        result = show("paper in", lvc_paper_in(client, LVC_PASSBOOK));
    }
    /* Row 3, column 2, Godic at normal size. */
    if (result == LVC_DONE) {
        result =
            show("print row 3", lvc_print(client, 3, 2, LVC_FONT_GODIC, "2026-12-06  DEPOSIT      150,000"));
    }
    /* The driver prints code page 949: convert the UTF-8 text first. */
    if (result == LVC_DONE) {
        result = lvc_utf8_to_cp949("2026-12-06  급여 입금  2,350,000", korean, (int)sizeof(korean));
        if (result >= 0) {
            result = lvc_print(client, 4, 2, LVC_FONT_MYOUNGJO, korean);
        }
        result = show("print row 4", result);
    }
    if (result == LVC_DONE) {
        result = show("eject", lvc_eject(client));
    }
    if (lvc_gate_window(client) != 0) {
        show("release", lvc_release(client));
    }
    lvc_close(client);
    return result == LVC_DONE ? 0 : 1;
}
