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
}

}  // namespace platform
