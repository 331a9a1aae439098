#include "cleanup_registry.h"

#include "file.h"
#include "signals.h"

#include <atomic>
#include <cstring>

namespace platform {

namespace {

// Fixed slots: the handler must not touch the heap. A few rewrites and
// temporaries are open at a time, never more.
constexpr std::size_t fileSlots = 16;
char files[fileSlots][4096];
std::atomic<bool> fileUsed[fileSlots];
// A restore stages messages in one directory and settings files in another.
constexpr std::size_t directorySlots = 4;
char directories[directorySlots][4096];
std::atomic<bool> directoryUsed[directorySlots];
std::atomic<std::intptr_t> child{0};

template <std::size_t slots>
int remember(char (&paths)[slots][4096], std::atomic<bool> (&used)[slots], const std::string& hostPath) {
    if (hostPath.empty() || hostPath.size() >= sizeof paths[0]) return -1;
    for (std::size_t i = 0; i < slots; ++i) {
        if (used[i].load()) continue;
        std::memcpy(paths[i], hostPath.c_str(), hostPath.size() + 1);
        used[i].store(true);
        return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

int rememberFile(const std::string& hostPath) { return remember(files, fileUsed, hostPath); }

void forgetFile(int slot) {
    if (slot >= 0 && static_cast<std::size_t>(slot) < fileSlots) fileUsed[slot].store(false);
}

int slotOfFile(const std::string& hostPath) {
    for (std::size_t i = 0; i < fileSlots; ++i)
        if (fileUsed[i].load() && hostPath == files[i]) return static_cast<int>(i);
    return -1;
}

int rememberDirectory(const std::string& hostPath) { return remember(directories, directoryUsed, hostPath); }

void forgetDirectory(int slot) {
    if (slot >= 0 && static_cast<std::size_t>(slot) < directorySlots) directoryUsed[slot].store(false);
}

void setRunningChild(std::intptr_t value) { child.store(value); }
std::intptr_t runningChild() { return child.load(); }

// Removed first, forgotten after: an interrupt that comes in between
// removes the file once more (in vain) rather than leave it behind.
void removeRegisteredFiles() {
    for (std::size_t i = 0; i < fileSlots; ++i) {
        if (!fileUsed[i].load()) continue;
        unlinkRaw(files[i]);
        fileUsed[i].store(false);
    }
    for (std::size_t i = 0; i < directorySlots; ++i)
        if (directoryUsed[i].exchange(false)) removeDirectoryRaw(directories[i]);
}

// What the twins of PrivateDirectory share: the removal, in the handler's
// own way, so that one routine empties a staging folder on every road.
PrivateDirectory::~PrivateDirectory() { remove(); }

void PrivateDirectory::remove() {
    if (path_.empty()) return;
    removeDirectoryRaw(path_.c_str());
    path_.clear();
    forgetDirectory(slot_);
    slot_ = -1;
}

}  // namespace platform
