// Shared by the Windows files of the platform layer.
//
// Names go to the system's "A" functions as the bytes they are, which the
// system reads in the ANSI code page (1252 on Western systems). zip.exe
// and unzip.exe read their names, the list file among them, in that same
// code page, and so did the client that wrote the store: one code page for
// all of them keeps a name such as "caf\xE9.msg" the same name from disk
// to folder.bag to the archive and back, whatever the system's code page.
#pragma once

#include "file.h"

#include <windows.h>

#include <ctime>
#include <string>

namespace platform {

inline Error lastError() {
    const DWORD number = GetLastError();
    return Error{number != 0 ? static_cast<int>(number) : ERROR_GEN_FAILURE};
}

// `path` with every separator `separator` and doubled ones collapsed,
// except the two that open a network name; a drive stays what it is.
std::string withSeparators(const std::string& path, char separator);

// The form the system's calls take: backslashes. (Wine reads a name that
// begins with "/" as a Unix path.)
inline std::string hostForm(const std::string& path) { return withSeparators(path, '\\'); }

// FILETIME counts 100 ns steps from 1601.
std::time_t timeOf(const FILETIME& when);

// Shared by every opener, so that an interrupt's handler thread can remove
// a file while the main thread still has it open (it goes when the last
// handle closes, at the latest when the process ends).
constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Creates `path` new (CREATE_NEW) for writing and enters it in the cleanup
// registry, interrupts held off. The handle, or INVALID_HANDLE_VALUE with
// the system's error kept; `slot` is its registry place.
HANDLE createRememberedFile(const std::string& path, int& slot);

}  // namespace platform
