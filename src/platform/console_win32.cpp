#include "console.h"

#include "console_shared.h"

#include <windows.h>

#include <conio.h>

namespace platform {

namespace {

HANDLE input() { return GetStdHandle(STD_INPUT_HANDLE); }

bool isConsole(HANDLE h) {
    DWORD mode = 0;
    return GetConsoleMode(h, &mode) != 0;
}

}  // namespace

// One plain byte, as the POSIX build reads it: no text-mode translation.
int readOneByte() {
    unsigned char c = 0;
    DWORD got = 0;
    return ReadFile(input(), &c, 1, &got, nullptr) && got == 1 ? c : -1;
}

bool standardInputIsTerminal() { return isConsole(input()); }

bool keyWaiting() {
    HANDLE h = input();
    if (isConsole(h)) return _kbhit() != 0;
    if (GetFileType(h) != FILE_TYPE_PIPE) return true;  // a file or NUL reads at once
    // Only real bytes count; a pipe whose writer is gone has none.
    DWORD available = 0;
    return PeekNamedPipe(h, nullptr, 0, nullptr, &available, nullptr) && available > 0;
}

int readConsoleKey() { return _getch(); }

}  // namespace platform
