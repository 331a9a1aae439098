#include "listfile.h"

#include "work_files.h"

#include "platform.h"

#include <cstdio>
#include <string>

// The name every end of a run removes: the list file is its own.
const char* const listFileName = archiveListName;

namespace {
std::FILE* listFile = nullptr;
bool listFileFailed = false;  // a path could not be written, or the close failed
}

const char* openListFile() {
    if (listFile) std::fclose(listFile);
    listFile = platform::openFile(listFileName, "w");
    listFileFailed = false;
    if (!listFile) {
        std::printf("Error creating temporary file\n");
        return nullptr;
    }
    return listFileName;
}

namespace {
int writeListLine(const std::string& hostPath) {
    if (!listFile || std::fputs(hostPath.c_str(), listFile) < 0 || std::fputc('\n', listFile) == EOF) {
        std::printf("Error writing data to temporary file\n");
        listFileFailed = true;
        return 0;
    }
    return 1;
}
}  // namespace

int addToListFile(const char* path) {
    // zip opens the names itself, without our case-blind look-up: it gets
    // each path as the file system spells it ("./work.act/x" may be
    // "./Work.ACT/x" on disk), with "/" separators.
    return writeListLine(platform::resolvePath(path));
}

int addSpelledPathToListFile(const std::string& hostPath) { return writeListLine(hostPath); }

int closeListFile() {
    if (listFile) {
        // Buffered lines reach the disk only now; a failure here loses paths too.
        if (std::fclose(listFile) != 0) listFileFailed = true;
        listFile = nullptr;
    }
    return 1;
}

bool listFileComplete() { return !listFileFailed; }

int removeListFile() {
    return platform::removeFile(listFileName) ? -1 : 0;
}
