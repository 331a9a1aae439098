// The Info-ZIP programs themselves: the names they are installed under,
// what their build can do, and the check that the installed ones are new
// enough. The platform only starts programs; what zip and unzip are is
// known here.
#pragma once

#include <string>

// The two programs the archiver starts. The numbers are the kinds the jobs
// have always handed to checkZipVersion.
enum class ZipProgram { zip = 1, unzip = 2 };

// "zip" or "unzip", with the system's suffix of programs ("unzip.exe" on
// Windows): a bare name, looked for along PATH.
std::string programName(ZipProgram program);

// Whether this system's unzip takes -W, so that "*" stops at "/": Info-ZIP
// builds it for Unix only. Without it a directory's pattern also names the
// members below that directory.
bool unzipWildcardsStopAtSlash();

// 1 when `program` answers "-h" with a help text whose version line is at
// least "2.2" (zip) or "5.32" (unzip); else 0 after printing why on
// standard output (and in archiver.dbg with ARCHIVER_DEBUG set). The help
// text goes through the command interpreter into a temporary file, of
// which only the first 200 bytes are read.
int checkZipVersion(ZipProgram program);
// The same with the program as a number, 1 for zip and 2 for unzip; any
// other number prints "Error in exe type" and gives 0.
int checkZipVersion(int kind);
