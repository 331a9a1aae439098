#include "path.h"

#include "win32_shared.h"

#include <direct.h>
#include <vector>

namespace platform {

std::string withSeparators(const std::string& path, char separator) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const bool isOne = isSeparator(path[i]);
        // "\\server\share" keeps its two leading separators.
        if (isOne && i > 1 && !out.empty() && out.back() == separator) continue;
        out += isOne ? separator : path[i];
    }
    return out;
}

namespace {

bool isSpecial(const std::string& leaf) {
    return leaf.empty() || leaf == "." || leaf == ".." || leaf.find_first_of("*?") != std::string::npos;
}

// A directory ("/" separators, ending in one) as the disk spells it; what
// does not exist keeps the spelling asked for, below what does.
std::string spelledDirectory(const std::string& dir) {
    char found[MAX_PATH + 1];
    const DWORD n = GetLongPathNameA(hostForm(dir).c_str(), found, sizeof found);
    if (n > 0 && n <= MAX_PATH) return withSeparators(found, '/');
    const auto cut = dir.find_last_of('/', dir.size() - 2);
    if (dir.size() < 2 || cut == std::string::npos) return dir;
    return spelledDirectory(dir.substr(0, cut + 1)) + dir.substr(cut + 1);
}

}  // namespace

// The file system ignores letter case by itself, but zip stores each name
// as it is handed over: the names are given as the disk spells them, so
// that the archive holds the same member names as one made on POSIX. The
// separators are the ones zip stores and the callers build paths with. The
// last directory is remembered: a folder's messages share it.
std::string resolvePath(const std::string& path) {
    const std::string given = withSeparators(path, '/');
    const auto cut = given.find_last_of('/');
    const std::string dir = cut == std::string::npos ? std::string() : given.substr(0, cut + 1);
    std::string leaf = cut == std::string::npos ? given : given.substr(cut + 1);
    thread_local std::string lastDir, lastSpelled;
    if (!dir.empty() && dir != lastDir) {
        lastSpelled = spelledDirectory(dir);
        lastDir = dir;
    }
    const std::string spelledDir = dir.empty() ? dir : lastSpelled;
    if (!isSpecial(leaf)) {
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(hostForm(spelledDir + leaf).c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            // A match through the short 8.3 name keeps the name asked for.
            if (equalIgnoringCase(found.cFileName, leaf)) leaf = found.cFileName;
            FindClose(search);
        }
    }
    return spelledDir + leaf;
}

const char* pathSeparator() { return "\\"; }

int currentDrive() { return _getdrive(); }

// The C runtime's _chdrive asks the system to enter the drive's current
// directory, which fails for a drive that is not there.
bool changeDrive(int drive) { return drive >= 1 && drive <= 26 && _chdrive(drive) == 0; }

std::string currentDirectory() {
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        const DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return std::string();
        if (n < buf.size()) break;
        buf.resize(n + 1);
    }
    std::string dir = buf.data();
    // A root ("C:\") keeps its separator; nothing else does.
    if (dir.size() > 3 && isSeparator(dir.back())) dir.pop_back();
    return dir;
}

bool changeDirectory(const std::string& path) {
    if (path.empty()) return false;
    return SetCurrentDirectoryA(hostForm(path).c_str()) != 0;
}

}  // namespace platform
