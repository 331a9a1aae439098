// A child for the Windows platform tests: each mode does one thing through
// the platform layer in a process of its own, where the tests can see what
// arrived.
//   args OUT ARG...       write each ARG as "[ARG]" on a line of OUT; exit with their count
//   stdin IN OUT          make IN standard input, start "copy OUT" and exit with its status
//   copy OUT              copy standard input to OUT
//   keys                  read keys to the end: "[key]" for each, "waiting" when one was
//   interrupt             make a temporary file, print its name, then take a Ctrl+C
//   interrupt-child NAME [ignore]
//                         take a Ctrl+C while waiting for "hold NAME [ignore]"
//   hold NAME [ignore]    hold a mutex of that name for 30 s (ignoring Ctrl+C, or
//                         ended by it with the status Windows gives)
#include "platform.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string selfPath() {
    char self[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    return std::string(self, n);
}

int writeArguments(int argc, char** argv) {
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 100;
    for (int i = 3; i < argc; ++i) std::fprintf(out, "[%s]\n", argv[i]);
    std::fclose(out);
    return argc - 3;
}

int copyInput(const char* to) {
    std::FILE* out = std::fopen(to, "wb");
    if (!out) return 100;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0)
        std::fwrite(buffer, 1, got, out);
    std::fclose(out);
    return 0;
}

int startCopy(const char* in, const char* out) {
    if (!platform::redirectStandardInput(in)) return 2;
    platform::Error error;
    return platform::spawnAndWait(selfPath(), {"probe", "copy", out}, error);
}

int readKeys() {
    std::string seen;
    if (platform::keyWaiting()) seen += "waiting ";
    for (int key; (key = platform::readKey()) != -1;) seen += "[" + std::string(1, static_cast<char>(key)) + "]";
    std::printf("%s", seen.c_str());
    return 0;
}

void onInterrupt(platform::Signal which) {
    static const char text[] = "interrupted\n";
    platform::writeStandardErrorRaw(text, sizeof text - 1);
    platform::exitImmediately(which == platform::Signal::interrupt ? 5 : 6);
}

// Wine gives a process with no console none to send Ctrl+C through; one of
// its own is made here. False when there is none.
bool ownConsole() {
    FreeConsole();
    return AllocConsole() != 0;
}

// Status 3 tells the test that there is no console to send Ctrl+C through.
int takeInterrupt() {
    std::string temporary = platform::createTemporaryFile();
    std::printf("%s\n", temporary.c_str());
    std::fflush(stdout);
    if (!ownConsole()) return 3;
    if (!platform::installSignalHandler(platform::Signal::interrupt, onInterrupt)) return 4;
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) return 3;
    Sleep(10000);
    return 0;
}

// The child, in the same console, gets the Ctrl+C too: one that stops is
// waited for, one that ignores it is ended.
int interruptChild(const std::string& name, bool ignore) {
    if (!ownConsole()) return 3;
    if (!platform::installSignalHandler(platform::Signal::interrupt, onInterrupt)) return 4;
    std::thread([] {
        Sleep(1000);
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    }).detach();
    platform::Error error;
    std::vector<std::string> argv{"probe", "hold", name};
    if (ignore) argv.push_back("ignore");
    platform::spawnAndWait(selfPath(), argv, error);
    return 7;  // the handler ends the run before the child does
}

// Ends the process as Windows's own handler ends one on Ctrl+C, with a
// failure status, as zip and unzip end too. Wine's ends it with 0: its
// parent took that for success and went on at once, racing its own
// handler to the end of the run.
BOOL WINAPI endByControlC(DWORD) {
    ExitProcess(STATUS_CONTROL_C_EXIT);
}

int hold(const std::string& name, bool ignore) {
    if (ignore) SetConsoleCtrlHandler(nullptr, TRUE);
    else SetConsoleCtrlHandler(endByControlC, TRUE);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    Sleep(30000);
    CloseHandle(mutex);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "args" && argc > 2) return writeArguments(argc, argv);
    if (mode == "stdin" && argc == 4) return startCopy(argv[2], argv[3]);
    if (mode == "copy" && argc == 3) return copyInput(argv[2]);
    if (mode == "keys") return readKeys();
    if (mode == "interrupt") return takeInterrupt();
    const bool ignore = argc > 3 && std::string(argv[3]) == "ignore";
    if (mode == "interrupt-child" && argc > 2) return interruptChild(argv[2], ignore);
    if (mode == "hold" && argc > 2) return hold(argv[2], ignore);
    return 99;
}
