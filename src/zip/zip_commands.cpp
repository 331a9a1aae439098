#include "zip.h"

#include "platform.h"
#include "util.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The fixed option words of a command, split as the runner's caller has
// always split them; the names that follow are added one by one.
std::vector<std::string> optionWords(const char* words) {
    std::vector<std::string> out;
    for (std::string& word : splitArgs(words))
        if (!word.empty()) out.push_back(std::move(word));
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

std::string directoryPattern(const std::string& directory) {
    std::string pattern;
    pattern.reserve(directory.size() + 2);
    for (char c : directory) {
        if (c == '*' || c == '?' || c == '[') {
            pattern += '[';
            pattern += c;
            pattern += ']';
        } else {
            pattern += c;
        }
    }
    if (!pattern.empty()) pattern += '/';
    return pattern + '*';
}

int testArchiveMembers(const char* archiveFile, const std::vector<std::string>& patterns) {
    std::vector<std::string> args = optionWords(unzipWildcardsStopAtSlash() ? "-tqq -W" : "-tqq");
    args.push_back(platform::resolvePath(archiveFile));
    args.insert(args.end(), patterns.begin(), patterns.end());
    return runProgramWith(platform::spawnAndWaitFromHelper, programName(ZipProgram::unzip).c_str(), args, nullptr);
}
