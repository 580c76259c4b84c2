/* wine_copydata_probe: shows, without any of the driver's code, what Wine does with large
 * WM_COPYDATA blocks between two processes.
 *
 *   wine_copydata_probe server              a top-level window that answers each WM_COPYDATA with
 *                                           the cbData it received
 *   wine_copydata_probe send SIZE [TARGET]  sends one block of SIZE bytes to the server (or to the
 *                                           window whose class and name are TARGET) and prints what
 *                                           came back and how long it took; SIZE 0 sends a block
 *                                           without data whose size field is this program's window
 *
 * Seen with wine-8.0 (x86-64): a block without data arrives with cbData 0; blocks up to about 1.5 MB
 * arrive (about 0.1 s per MB); a block of 2 MB or more never arrives: the receiving program died, or
 * the sending one hung in SendMessageTimeout past its time-out. docs/failure-modes.md has the runs. */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static LRESULT CALLBACK probe_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COPYDATA) {
        return (LRESULT)((const COPYDATASTRUCT*)lparam)->cbData;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int main(int argc, char** argv) {
    WNDCLASSA window_class;
    memset(&window_class, 0, sizeof(window_class));
    window_class.lpfnWndProc = probe_proc;
    window_class.lpszClassName = "CopyDataProbe";
    RegisterClassA(&window_class);
    if (argc == 2 && strcmp(argv[1], "server") == 0) {
        MSG message;
        HWND window =
            CreateWindowExA(0, "CopyDataProbe", "CopyDataProbe", 0, 0, 0, 0, 0, NULL, NULL, NULL, NULL);
        printf("server %p\n", (void*)window);
        fflush(stdout);
        while (GetMessageA(&message, NULL, 0, 0) > 0) {
            DispatchMessageA(&message);
        }
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "send") == 0) {
        HWND self =
            CreateWindowExA(0, "CopyDataProbe", "sender", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
        const char* target = argc >= 4 ? argv[3] : "CopyDataProbe";
        HWND server = FindWindowA(target, target);
        DWORD size = (DWORD)strtoul(argv[2], NULL, 0);
        void* data = size != 0 ? VirtualAlloc(NULL, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE) : NULL;
        COPYDATASTRUCT copy;
        DWORD_PTR answer = 0;
        LARGE_INTEGER frequency, start, end;
        BOOL sent;
        copy.dwData = 1;
        copy.cbData = size != 0 ? size : (DWORD)(ULONG_PTR)self;
        copy.lpData = data;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        sent = (BOOL)SendMessageTimeoutA(server, WM_COPYDATA, (WPARAM)self, (LPARAM)&copy, SMTO_NORMAL, 30000,
                                         &answer);
        QueryPerformanceCounter(&end);
        printf("sent=%lu ok=%d error=%lu received=%lu ms=%.1f\n", (unsigned long)copy.cbData, sent ? 1 : 0,
               sent ? 0ul : (unsigned long)GetLastError(), (unsigned long)answer,
               (double)(end.QuadPart - start.QuadPart) * 1000.0 / (double)frequency.QuadPart);
        return sent ? 0 : 1;
    }
    fprintf(stderr, "usage: wine_copydata_probe server | send SIZE [TARGET]\n");
    return 2;
}
