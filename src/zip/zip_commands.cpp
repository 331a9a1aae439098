#include "zip.h"

#include "platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The fixed option words of a command, split at blanks; the names that
// follow are added one by one. The tests of an archive and the listing's
// fetches build their commands on two threads at once: each its own words.
std::vector<std::string> optionWords(const char* words) {
    std::vector<std::string> out;
    for (const char* p = words; *p;) {
        const std::size_t n = std::strcspn(p, " ");
        if (n > 0) out.emplace_back(p, n);
        p += n;
        if (*p) ++p;
    }
    return out;
}

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
    void both(const char* text) {
        debug(text);
        std::fputs(text, stdout);
        std::fflush(stdout);
    }

private:
    std::FILE* log_ = nullptr;
};

}  // namespace

int zipFiles(const char* listFile, const char* archiveFile, int noiseFlag) {
    std::vector<std::string> args = optionWords(noiseFlag ? "-9 -@" : "-q -9 -@");
    args.push_back(platform::resolvePath(archiveFile));
    return runProgram(platform::zipProgramName(), args, listFile);
}

int unzipFile(const char* extractDir, const char* archiveFile, char* member, int noiseFlag) {
    if (std::strncmp(member, "./", 2) == 0) std::memmove(member, member + 2, std::strlen(member + 2) + 1);
    std::vector<std::string> args;
    if (extractDir && *extractDir) {
        args = optionWords(noiseFlag ? "-o -C -j -d" : "-qq -o -C -j -d");
        args.push_back(platform::resolvePath(extractDir));
    } else {
        args = optionWords(noiseFlag ? "-o -C" : "-q -o -C");
    }
    args.push_back(platform::resolvePath(archiveFile));
    args.emplace_back(member);
    return runProgram(platform::unzipProgramName(), args, nullptr);
}

int readArchiveMember(const char* archiveFile, const char* member, const platform::OutputBlocks& onBytes) {
    std::vector<std::string> args = optionWords("-p -C");
    args.push_back(platform::resolvePath(archiveFile));
    args.emplace_back(member);
    return runProgramReading(platform::unzipProgramName(), args, onBytes);
}

bool listArchiveContents(const char* archiveFile, std::vector<ArchiveMember>& members) {
    members.clear();
    std::string listing = platform::createTemporaryFile();
    if (listing.empty()) return false;
    std::string commandLine = std::string(platform::unzipProgramName()) + " -v " +
                              platform::interpreterWord(platform::resolvePath(archiveFile)) + " > " + platform::interpreterWord(listing);
    std::fflush(stdout);
    bool listed = platform::runCommandInterpreter(commandLine) == 0;
    std::string text;
    std::FILE* in = listed ? platform::openFile(listing, "rb") : nullptr;
    if (in) {
        char block[64 * 1024];
        std::size_t got;
        while ((got = std::fread(block, 1, sizeof block, in)) > 0) text.append(block, got);
        if (std::ferror(in)) listed = false;
        std::fclose(in);
    } else {
        listed = false;
    }
    platform::removeTemporaryFile(listing);
    // unzip on Windows ends its lines with CR LF, and names members in the
    // console's code page.
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    platform::fromConsoleCodePage(text);
    return listed && parseMemberListing(text, members);
}

std::string literalPattern(const std::string& text) {
    std::string pattern;
    pattern.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '*' || c == '?' || c == '[') {
            pattern += '[';
            pattern += c;
            pattern += ']';
        } else {
            pattern += c;
        }
    }
    return pattern;
}

std::string directoryPattern(const std::string& directory) {
    std::string pattern = literalPattern(directory);
    if (!pattern.empty()) pattern += '/';
    return pattern + '*';
}

int extractMembers(const std::string& extractDir, const char* archiveFile, const std::vector<std::string>& patterns,
                   const std::vector<std::string>& excluded, int noiseFlag) {
    std::vector<std::string> args;
    if (!noiseFlag) args.emplace_back("-qq");
    args.insert(args.end(), {"-o", "-C", "-j", "-d", platform::resolvePath(extractDir)});
    args.push_back(platform::resolvePath(archiveFile));
    args.insert(args.end(), patterns.begin(), patterns.end());
    if (!excluded.empty()) {
        args.emplace_back("-x");
        args.insert(args.end(), excluded.begin(), excluded.end());
    }
    return runProgram(platform::unzipProgramName(), args, nullptr);
}

std::size_t patternLength(const std::string& pattern) {
    // A blank before it and two quotes; on Windows a quote or a backslash
    // may take a backslash more.
    std::size_t length = pattern.size() + 3;
    for (char c : pattern)
        if (c == '"' || c == '\\') ++length;
    return length;
}

std::size_t extractWordsLength(const std::string& extractDir, const char* archiveFile) {
    std::size_t length = 0;
    for (const std::string& word : {std::string(platform::unzipProgramName()), std::string("-qq -o -C -j -d -x"),
                                    platform::resolvePath(extractDir), platform::resolvePath(archiveFile)})
        length += patternLength(word);
    // unzip's own path, found along PATH, comes first.
    return length + 260;
}

int testArchiveMembers(const char* archiveFile, const std::vector<std::string>& patterns) {
    std::vector<std::string> args = optionWords(platform::unzipWildcardsStopAtSlash() ? "-tqq -W" : "-tqq");
    args.push_back(platform::resolvePath(archiveFile));
    args.insert(args.end(), patterns.begin(), patterns.end());
    return runProgramWith(platform::spawnAndWaitFromHelper, platform::unzipProgramName(), args, nullptr);
}

int checkZipVersion(int kind) {
    VersionReport report;
    if (kind != 1 && kind != 2) {
        std::fputs("Error in exe type\n", stdout);
        std::fflush(stdout);
        return 0;
    }

    std::string helpFile = platform::createTemporaryFile();
    if (helpFile.empty()) {
        std::fputs("Error creating temporary file\n", stdout);
        std::fflush(stdout);
        return 0;
    }

    std::string commandLine = std::string(kind == 1 ? platform::zipProgramName() : platform::unzipProgramName()) +
                              " -h > " + platform::interpreterWord(helpFile);
    if (platform::environmentValue(debugVariableName)) {
        std::string line = "Checking version of zip/unzip, command line: " + commandLine + "\n";
        report.debug(line.c_str());
    }
    std::fflush(stdout);
    platform::runCommandInterpreter(commandLine);  // the help text is all we want from it

    std::FILE* help = platform::openFile(helpFile, "rb");
    if (!help) {
        platform::removeTemporaryFile(helpFile);
        report.both("Unable to find output file from Zip/Unzip\n");
        return 0;
    }
    // Zero bytes beyond the 200 read: the version text looked for just
    // after a marker near the end is then empty, never outside the buffer.
    char text[200 + 16] = {};
    std::size_t got = std::fread(text, 1, 200, help);
    std::fclose(help);
    platform::removeTemporaryFile(helpFile);
    if (got < 200) {
        report.both("Unable to read output file from zip/unzip for version check.\n");
        return 0;
    }

    // Plain character comparison of the version text, as it always was:
    // "3.0" passes for zip, "10.0" would not.
    if (kind == 1) {
        if (const char* line = std::strstr(text, "\nZip")) {
            if (std::strncmp(line + 5, "2.2", 3) >= 0) return 1;
            char message[128];
            std::snprintf(message, sizeof message,
                          "Invalid Zip version.  You must be running InfoZip version %s or later\n", "2.2");
            report.both(message);
            return 0;
        }
        report.both("Unable to find Zip version in output from Zip.  Please check\n");
        report.both("the version of Zip you are running.\n");
        return 0;
    }
    if (const char* mark = std::strstr(text, "UnZip")) {
        if (std::strncmp(mark + 6, "5.32", 4) >= 0) {
            report.debug("Valid Zip/Unzip version found\n");
            return 1;
        }
        char message[128];
        std::snprintf(message, sizeof message,
                      "Invalid UnZip version.  You must be running InfoUnZip version %s or later\n", "5.32");
        report.both(message);
        return 0;
    }
    report.both("Unable to find UnZip version in output from UnZip.  Please check\n");
    report.both("the version of UnZip you are running.\n");
    return 0;
}
