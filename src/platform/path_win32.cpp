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

// The file system ignores letter case by itself: no search is needed. The
// separators are the ones zip stores and the callers build paths with.
std::string resolvePath(const std::string& path) { return withSeparators(path, '/'); }

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
