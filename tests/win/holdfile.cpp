// Test helper for the Windows build: opens a file without sharing and keeps it open
// until its standard input ends, so that other processes meet a locked file.
// Prints "ready" once the file is held.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: holdfile <file>\n");
        return 2;
    }
    HANDLE h = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        std::printf("failed %lu\n", GetLastError());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    CloseHandle(h);
    return 0;
}
