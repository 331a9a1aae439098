#include "path.h"

#include "posix_shared.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool existsExactly(const std::string& hostPath) {
    struct stat st {};
    return lstat(hostPath.c_str(), &st) == 0;
}

// Finds `name` in the directory `dir` without regard to case; the exact
// spelling wins, otherwise the first match in case-insensitive order.
bool findIgnoringCase(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return false;
    std::vector<std::string> matches;
    while (dirent* e = readdir(d)) {
        if (equalIgnoringCase(e->d_name, name)) matches.emplace_back(e->d_name);
    }
    closedir(d);
    if (matches.empty()) return false;
    std::sort(matches.begin(), matches.end(), lessIgnoringCase);
    found = matches.front();
    return true;
}

std::string joinHost(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

}  // namespace

std::string hostForm(const std::string& path) {
    const bool drive = hasDrivePrefix(path);
    std::string s = drive ? path.substr(2) : path;
    bool absolute = drive || (!s.empty() && isSeparator(s[0]));
    std::string out;
    out.reserve(s.size() + 1);
    if (absolute) out = "/";
    bool lastWasSeparator = absolute;
    for (char c : s) {
        if (isSeparator(c)) {
            if (!lastWasSeparator) out += '/';
            lastWasSeparator = true;
        } else {
            out += c;
            lastWasSeparator = false;
        }
    }
    if (drive && s.empty()) return ".";  // "D:" alone: the current directory of that drive
    if (out.empty()) return path.empty() ? std::string() : ".";
    return out;
}

std::string resolveHost(const std::string& host) {
    if (host.empty() || host == "." || host == "/" || existsExactly(host)) return host;
    auto slash = host.find_last_of('/');
    std::string parent = slash == std::string::npos ? std::string() : host.substr(0, slash);
    std::string leaf = slash == std::string::npos ? host : host.substr(slash + 1);
    if (slash == 0) parent = "/";
    std::string resolvedParent = parent.empty() ? std::string() : resolveHost(parent);
    if (leaf.empty() || leaf == "." || leaf == "..") return joinHost(resolvedParent, leaf);
    std::string found;
    if (findIgnoringCase(resolvedParent.empty() ? "." : resolvedParent, leaf, found))
        return joinHost(resolvedParent, found);
    return joinHost(resolvedParent, leaf);
}

std::string resolvePath(const std::string& path) { return resolveHost(hostForm(path)); }

const char* pathSeparator() { return "/"; }

int currentDrive() { return 3; }

// Every drive letter names the one root, so any of them can be "changed to".
bool changeDrive(int drive) { return drive >= 1 && drive <= 26; }

std::string currentDirectory() {
    std::vector<char> buf(4096);
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return std::string();
        buf.resize(buf.size() * 2);
    }
    std::string dir = buf.data();
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

bool changeDirectory(const std::string& path) {
    std::string host = resolvePath(path);
    if (host.empty()) return false;
    return chdir(host.c_str()) == 0;
}

}  // namespace platform
