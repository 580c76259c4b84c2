// A stand-in for the monitor program the driver starts at start-up. It writes what it was given
// to "kovask.txt" beside itself and ends:
//   arg=<its first argument>
//   cwd=<its working folder>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
    char self[MAX_PATH] = {};
    DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, length);
    path = path.substr(0, path.rfind('\\') + 1) + "kovask.txt";
    char folder[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        return 1;
    }
    std::fprintf(out, "arg=%s\ncwd=%s\n", __argc > 1 ? __argv[1] : "", folder);
    std::fclose(out);
    return 0;
}
