#include "cleanup_registry.h"

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

}  // namespace

int rememberFile(const std::string& hostPath) {
    if (hostPath.empty() || hostPath.size() >= sizeof files[0]) return -1;
    for (std::size_t i = 0; i < fileSlots; ++i) {
        if (fileUsed[i].load()) continue;
        std::memcpy(files[i], hostPath.c_str(), hostPath.size() + 1);
        fileUsed[i].store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void forgetFile(int slot) {
    if (slot >= 0 && static_cast<std::size_t>(slot) < fileSlots) fileUsed[slot].store(false);
}

int slotOfFile(const std::string& hostPath) {
    for (std::size_t i = 0; i < fileSlots; ++i)
        if (fileUsed[i].load() && hostPath == files[i]) return static_cast<int>(i);
    return -1;
}

int rememberDirectory(const std::string& hostPath) {
    if (hostPath.empty() || hostPath.size() >= sizeof directories[0]) return -1;
    for (std::size_t i = 0; i < directorySlots; ++i) {
        if (directoryUsed[i].load()) continue;
        std::memcpy(directories[i], hostPath.c_str(), hostPath.size() + 1);
        directoryUsed[i].store(true);
        return static_cast<int>(i);
    }
    return -1;
}

void forgetDirectory(int slot) {
    if (slot >= 0 && static_cast<std::size_t>(slot) < directorySlots) directoryUsed[slot].store(false);
}

void setRunningChild(std::intptr_t value) { child.store(value); }
std::intptr_t runningChild() { return child.load(); }

void removeRegisteredFiles() {
    for (std::size_t i = 0; i < fileSlots; ++i)
        if (fileUsed[i].exchange(false)) unlinkRaw(files[i]);
    for (std::size_t i = 0; i < directorySlots; ++i)
        if (directoryUsed[i].exchange(false)) removeDirectoryRaw(directories[i]);
}

}  // namespace platform
