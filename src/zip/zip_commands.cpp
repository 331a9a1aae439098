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

}  // namespace

int zipFiles(const char* listFile, const char* archiveFile, int noiseFlag) {
    std::vector<std::string> args = optionWords(noiseFlag ? "-9 -@" : "-q -9 -@");
    args.push_back(platform::resolvePath(archiveFile));
    return runProgram(programName(ZipProgram::zip).c_str(), args, listFile);
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
    return runProgram(programName(ZipProgram::unzip).c_str(), args, nullptr);
}

int readArchiveMember(const char* archiveFile, const char* member, const platform::OutputBlocks& onBytes) {
    std::vector<std::string> args = optionWords("-p -C");
    args.push_back(platform::resolvePath(archiveFile));
    args.emplace_back(member);
    return runProgramReading(programName(ZipProgram::unzip).c_str(), args, onBytes);
}

bool listArchiveContents(const char* archiveFile, std::vector<ArchiveMember>& members) {
    members.clear();
    std::string listing = platform::createTemporaryFile();
    if (listing.empty()) return false;
    std::string commandLine = programName(ZipProgram::unzip) + " -v " +
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
    return runProgram(programName(ZipProgram::unzip).c_str(), args, nullptr);
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
    for (const std::string& word : {programName(ZipProgram::unzip), std::string("-qq -o -C -j -d -x"),
                                    platform::resolvePath(extractDir), platform::resolvePath(archiveFile)})
        length += patternLength(word);
    // unzip's own path, found along PATH, comes first.
    return length + 260;
}

int testArchiveMembers(const char* archiveFile, const std::vector<std::string>& patterns) {
    std::vector<std::string> args = optionWords(unzipWildcardsStopAtSlash() ? "-tqq -W" : "-tqq");
    args.push_back(platform::resolvePath(archiveFile));
    args.insert(args.end(), patterns.begin(), patterns.end());
    return runProgramWith(platform::spawnAndWaitFromHelper, programName(ZipProgram::unzip).c_str(), args, nullptr);
}
