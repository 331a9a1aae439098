// How many threads each part of a run starts, in one place, so that what a
// run asks of the machine can be read at a glance. The store's machines
// have two cores or more.
#pragma once

#include <cstddef>

namespace threadCounts {

// Read the messages of a folder ahead of the scan.
constexpr std::size_t folderReaders = 2;
// Test the written archive, a share of its members each (unzip -t).
constexpr std::size_t archiveTesters = 2;
// Remove proven messages. Removing a file mostly waits for the file
// system's journal, not for a core: unlinking 100,000 messages took 6.1 s
// here on one thread, 3.1 s on four, 2.3 s on eight, 1.8 s on sixteen.
constexpr std::size_t messageRemovers = 16;
// Fewer removals than this stay on the main thread.
constexpr std::size_t removeOnThreadsFrom = 256;

}  // namespace threadCounts
