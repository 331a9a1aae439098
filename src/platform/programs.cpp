// What starting programs does alike on both systems; the system calls are
// in programs_<system>.cpp.
#include "programs.h"

#include "cleanup_registry.h"
#include "file_shared.h"
#include "programs_shared.h"

namespace platform {

int spawnAndWait(const std::string& path, const std::vector<std::string>& argv, Error& error) {
    return startAndWait(StartedFrom::mainThread, path, argv, error);
}

int spawnAndWaitFromHelper(const std::string& path, const std::vector<std::string>& argv, Error& error) {
    return startAndWait(StartedFrom::helperThread, path, argv, error);
}

void removeTemporaryFile(const std::string& path) {
    removeHostFile(path);
    forgetFile(slotOfFile(path));
}

}  // namespace platform
