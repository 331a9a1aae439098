// A stand-in for zip.exe or unzip.exe in the Windows tests: copied under
// the program's name, it follows the instructions in the file beside it
// (see writeStandIn in test_support.h).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <io.h>
#include <sstream>
#include <string>

namespace {

std::string readAll(std::FILE* from) {
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, from)) > 0) bytes.append(buffer, n);
    return bytes;
}

int runHelp(const std::string& program) {
    std::string commandLine = "\"" + program + "\" -h";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return 127;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    char self[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string script = std::string(self, n) + ".standin";
    std::ifstream instructions(script, std::ios::binary);
    int status = 0;
    std::string line;
    while (std::getline(instructions, line)) {
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (word == "help" && argc > 1 && std::string(argv[1]) == "-h") {
            std::fflush(stdout);
            return runHelp(rest);
        } else if (word == "record") {
            std::ofstream record(rest, std::ios::binary);
            for (int i = 1; i < argc; ++i) record << argv[i] << '\n';
            std::ofstream input(rest + ".in", std::ios::binary);
            input << readAll(stdin);
        } else if (word == "print") {
            std::ifstream file(rest, std::ios::binary);
            std::ostringstream bytes;
            bytes << file.rdbuf();
            std::fwrite(bytes.str().data(), 1, bytes.str().size(), stdout);
        } else if (word == "drain") {
            readAll(stdin);
        } else if (word == "stderr") {
            std::fprintf(stderr, "%s\n", rest.c_str());
        } else if (word == "exit") {
            status = std::atoi(rest.c_str());
        }
    }
    std::fflush(stdout);
    return status;
}
