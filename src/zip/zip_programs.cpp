#include "zip_programs.h"

#include "zip.h"

#include "platform.h"

#include <cstdio>
#include <cstring>

std::string programName(ZipProgram program) {
    return std::string(program == ZipProgram::zip ? "zip" : "unzip") + platform::executableSuffix();
}

bool unzipWildcardsStopAtSlash() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

namespace {

// Where each program's help text carries its version, the least version
// the archiver takes, and what the check says about it.
struct VersionRule {
    const char* marker;            // the first place looked for in the help text
    std::size_t versionOffset;     // from the marker's first character to the version's
    const char* minimum;           // compared bytewise on its own length
    const char* tooLow;            // its "%s" is the minimum
    const char* notFound[2];       // two lines
    const char* found;             // for the debug log alone, or null
};

// zip's version follows "Zip " at the start of a line; unzip's follows
// "UnZip " anywhere.
constexpr VersionRule zipRule{
    "\nZip", 5, "2.2", "Invalid Zip version.  You must be running InfoZip version %s or later\n",
    {"Unable to find Zip version in output from Zip.  Please check\n", "the version of Zip you are running.\n"},
    nullptr};
constexpr VersionRule unzipRule{
    "UnZip", 6, "5.32", "Invalid UnZip version.  You must be running InfoUnZip version %s or later\n",
    {"Unable to find UnZip version in output from UnZip.  Please check\n", "the version of UnZip you are running.\n"},
    "Valid Zip/Unzip version found\n"};

// The version check tells on standard output and, when the debug log is
// on, in archiver.dbg too.
class VersionReport {
public:
    VersionReport() {
        if (platform::environmentValue(debugVariableName)) log_ = platform::openFile(debugLogName, "a");
    }
    ~VersionReport() {
        if (log_) std::fclose(log_);
    }
    VersionReport(const VersionReport&) = delete;
    VersionReport& operator=(const VersionReport&) = delete;

    void debug(const char* text) {
        if (log_) std::fputs(text, log_);
    }
    void console(const char* text) {
        std::fputs(text, stdout);
        std::fflush(stdout);
    }
    void both(const char* text) {
        debug(text);
        console(text);
    }

private:
    std::FILE* log_ = nullptr;
};

// The size of the help text's start that is looked at; the version line
// must lie within it.
constexpr std::size_t helpTextSize = 200;

// Has `program` write its help text into `helpFile` through the command
// interpreter, so that the redirection takes effect; its exit status says
// nothing that the text does not.
void writeHelpText(ZipProgram program, const std::string& helpFile, VersionReport& report) {
    const std::string commandLine = programName(program) + " -h > " + platform::interpreterWord(helpFile);
    if (platform::environmentValue(debugVariableName)) {
        const std::string line = "Checking version of zip/unzip, command line: " + commandLine + "\n";
        report.debug(line.c_str());
    }
    std::fflush(stdout);
    platform::runCommandInterpreter(commandLine);
}

// The first bytes of the help text into `text` (which has room beyond them
// for a terminator), and the file removed. False after telling why.
bool readHelpText(const std::string& helpFile, char* text, VersionReport& report) {
    std::FILE* help = platform::openFile(helpFile, "rb");
    if (!help) {
        platform::removeTemporaryFile(helpFile);
        report.both("Unable to find output file from Zip/Unzip\n");
        return false;
    }
    const std::size_t got = std::fread(text, 1, helpTextSize, help);
    std::fclose(help);
    platform::removeTemporaryFile(helpFile);
    if (got < helpTextSize) {
        report.both("Unable to read output file from zip/unzip for version check.\n");
        return false;
    }
    return true;
}

// Plain character comparison of the version text, as it always was: "3.0"
// passes for zip, "10.0" would not.
int judgeVersion(const VersionRule& rule, const char* text, VersionReport& report) {
    const char* mark = std::strstr(text, rule.marker);
    if (!mark) {
        report.both(rule.notFound[0]);
        report.both(rule.notFound[1]);
        return 0;
    }
    if (std::strncmp(mark + rule.versionOffset, rule.minimum, std::strlen(rule.minimum)) >= 0) {
        if (rule.found) report.debug(rule.found);
        return 1;
    }
    std::string message = rule.tooLow;
    message.replace(message.find("%s"), 2, rule.minimum);
    report.both(message.c_str());
    return 0;
}

}  // namespace

int checkZipVersion(ZipProgram program) {
    VersionReport report;
    const std::string helpFile = platform::createTemporaryFile();
    if (helpFile.empty()) {
        report.console("Error creating temporary file\n");
        return 0;
    }
    writeHelpText(program, helpFile, report);
    // Zero bytes beyond the ones read: a version looked for just after a
    // marker near the end is then empty, never outside the buffer.
    char text[helpTextSize + 16] = {};
    if (!readHelpText(helpFile, text, report)) return 0;
    return judgeVersion(program == ZipProgram::zip ? zipRule : unzipRule, text, report);
}

int checkZipVersion(int kind) {
    if (kind == static_cast<int>(ZipProgram::zip)) return checkZipVersion(ZipProgram::zip);
    if (kind == static_cast<int>(ZipProgram::unzip)) return checkZipVersion(ZipProgram::unzip);
    VersionReport report;  // opened, as for every check, though nothing goes to it
    report.console("Error in exe type\n");
    return 0;
}
