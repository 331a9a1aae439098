#include "zip.h"

#include "diagnostics.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

const char* const debugLogName = "archiver.dbg";
const char* const debugVariableName = "ARCHIVER_DEBUG";

namespace {

std::string joinedBySpaces(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) {
        if (w.empty()) continue;
        if (!text.empty()) text += ' ';
        text += w;
    }
    return text;
}

// The PATH elements in order. A separator at the very end ends the list
// rather than naming one more, empty, element.
std::vector<std::string> searchList(const char* path) {
    std::vector<std::string> elements;
    if (!path) return elements;
    const char separator = platform::pathListSeparator();
    std::string value = path;
    std::size_t start = 0;
    while (true) {
        std::size_t end = value.find(separator, start);
        if (end == std::string::npos) {
            elements.push_back(value.substr(start));
            break;
        }
        elements.push_back(value.substr(start, end - start));
        start = end + 1;
        if (start >= value.size()) break;
    }
    return elements;
}

}  // namespace

int runProgram(const char* program, const std::vector<std::string>& arguments, const char* inputFile) {
    return runProgramWith(platform::spawnAndWait, program, arguments, inputFile);
}

int runProgramReading(const char* program, const std::vector<std::string>& arguments,
                      const platform::OutputBlocks& onOutput) {
    auto spawn = [&onOutput](const std::string& path, const std::vector<std::string>& argv, platform::Error& error) {
        return platform::spawnReadingOutput(path, argv, onOutput, error);
    };
    return runProgramWith(spawn, program, arguments, nullptr);
}

int runProgramWith(const SpawnFunction& spawn, const char* program, const std::vector<std::string>& arguments,
                   const char* inputFile) {
    std::FILE* debug = nullptr;
    if (platform::environmentValue(debugVariableName)) {
        debug = platform::openFile(debugLogName, "a");
        if (debug) {
            std::fprintf(debug, "bfr: [%s]\n", program);
            std::fprintf(debug, "args: [%s]\n", joinedBySpaces(arguments).c_str());
            std::fprintf(debug, "input: [%s]\n\n", inputFile ? inputFile : "(null)");
        }
    }

    if (inputFile && !platform::redirectStandardInput(inputFile)) {
        if (debug) {
            std::fputs("Error reopening stdin\n", debug);
            std::fclose(debug);
        }
        std::fputs("Error reopening stdin\n", stdout);
        std::fflush(stdout);
        endProcess(2);
    }

    std::vector<std::string> argv{program};
    for (const auto& a : arguments)
        if (!a.empty()) argv.push_back(a);

    // zip and unzip share our console: what we printed comes first.
    std::fflush(stdout);

    // Without PATH there is nowhere to look: the start fails as for a
    // program found nowhere.
    platform::Error error{ENOENT};
    for (const auto& element : searchList(platform::environmentValue("PATH"))) {
        std::string candidate = element + platform::pathSeparator() + program;
        int status = spawn(candidate, argv, error);
        if (status >= 0) {
            if (debug) std::fclose(debug);
            return status;
        }
    }

    std::fflush(stdout);
    std::printf("_spawnv failed, errno: %d\n", error.number);
    std::fflush(stdout);
    if (debug) std::fclose(debug);
    return 1;
}
