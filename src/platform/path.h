// Paths of the store, and the current drive and directory.
//
// The store comes from a Windows machine, so the paths handed to the
// platform layer follow its rules:
//  - "\" and "/" are both separators;
//  - a path that begins with a separator or a drive ("D:") is absolute;
//    on POSIX a drive names the single root, so "D:\mail", "\mail" and
//    "/mail" are all /mail;
//  - the file system ignores letter case: on POSIX every call resolves each
//    path component without regard to case when the exact name is absent
//    (an existing "Work.act" is found as "work.act"); only what truly does
//    not exist is created, under the name asked for. Windows does this
//    by itself.
#pragma once

#include "names.h"

#include <string>

namespace platform {

// The host path of a store path: separators converted, a drive prefix
// dropped (POSIX), and every existing component found without regard to
// case. Components that do not exist keep the spelling they were given.
std::string resolvePath(const std::string& path);

const char* pathSeparator();  // "/" on POSIX, "\" on Windows

int currentDrive();                 // 1 = A ... 26 = Z; 3 ("C") on POSIX, where there is one root
bool changeDrive(int drive);        // false for a drive that does not exist
std::string currentDirectory();     // absolute, without trailing separator
bool changeDirectory(const std::string& path);

}  // namespace platform
