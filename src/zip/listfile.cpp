#include "listfile.h"

#include "platform.h"

#include <cstdio>

const char* const listFileName = "archive.tmp";

namespace {
std::FILE* listFile = nullptr;
}

const char* openListFile() {
    if (listFile) std::fclose(listFile);
    listFile = platform::openFile(listFileName, "w");
    if (!listFile) {
        std::printf("Error creating temporary file\n");
        return nullptr;
    }
    return listFileName;
}

int addToListFile(const char* path) {
    // zip opens the names itself, without our case-blind look-up: it gets
    // each path as the file system spells it ("./work.act/x" may be
    // "./Work.ACT/x" on disk), with "/" separators.
    if (!listFile || std::fprintf(listFile, "%s\n", platform::resolvePath(path).c_str()) < 0) {
        std::printf("Error writing data to temporary file\n");
        return 0;
    }
    return 1;
}

int closeListFile() {
    if (listFile) {
        std::fclose(listFile);
        listFile = nullptr;
    }
    return 1;
}

int removeListFile() {
    int error = platform::removeFile(listFileName);
    return error == 0 ? 0 : -1;
}
