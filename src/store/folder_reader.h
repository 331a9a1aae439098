// Reading ahead: a folder's listing, and the first blocks of its message
// files read by a small pool of threads a bounded distance ahead of the
// scan, so that waiting for the file system (a scheduled run meets a cold
// cache) overlaps the work on the headers before.
//
// Calling sequence, on the main thread:
//   FolderReader reader(dir, diskDir, listingsAhead);   // lists the folder
//   reader.readAhead(wanted, headerEndsWithin);         // the scan's choice
//   for each entry i of reader.entries(), in order:
//       if wanted[i]: reader.take(i, start) ...          // then the header
// The scan alone decides which entries are messages (`wanted`); the reader
// keeps no rule of its own, only that choice, and opens exactly those
// files under the spelling the listing found on disk. A file the threads
// could not read whole (it vanished, or its header goes on beyond the
// first block) is left to the caller; later files are not affected.
//
// The threads hold no file open while they wait and block every signal:
// interrupts reach the main thread and its handler as before. Destroying
// the reader part-way stops and joins them.
#pragma once

#include "directory_listing.h"
#include "platform.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ListingsAhead;

class FolderReader {
public:
    // Lists `dir` (a path ending in "/"), or takes its listing from
    // `listings` when it lists that folder next. `diskDir` is `dir` as the
    // disk spells it.
    FolderReader(const std::string& dir, std::string diskDir, ListingsAhead* listings = nullptr);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    const DirectoryListing& listing() const { return listing_; }
    const std::vector<platform::DirEntry>& entries() const { return listing_.entries(); }

    // Starts reading the entries marked in `wanted` (one flag per entry),
    // in listing order. Few files are read without threads.
    void readAhead(const std::vector<bool>& wanted, platform::EnoughRead enough);

    // When entry `index` is the next wanted one and the threads read its
    // start whole, moves that start into `start` and returns true. False
    // otherwise: the caller then reads the file itself.
    bool take(std::size_t index, platform::FileStart& start);

private:
    struct Slot {
        platform::FileStart start;
        bool ready = false;   // read, waiting to be taken
        bool usable = false;  // and whole
    };

    void work();
    void stop();

    DirectoryListing listing_;
    std::string diskDir_;
    platform::EnoughRead enough_ = nullptr;
    std::vector<std::size_t> order_;  // indices of the wanted entries
    std::unique_ptr<Slot[]> slots_;   // a ring over order_, `window` long
    std::size_t window_ = 0;
    std::vector<std::thread> threads_;

    // Under `lock_`: the bounded queue between the threads and the taker.
    std::mutex lock_;
    std::condition_variable changed_;
    std::size_t claimed_ = 0;  // files handed to a thread so far
    std::size_t taken_ = 0;    // files taken so far
    std::size_t readyInRow_ = 0;     // files read, from the first, with none missing between
    std::size_t takerWaitsFor_ = 0;  // the taker sleeps until readyInRow_ reaches it (0: awake)
    std::size_t threadsWaiting_ = 0;
    bool stopping_ = false;
};

// Files the threads read whole and the scan took from them, over the run:
// the tests see by it that reading ahead hits.
std::size_t readAheadHits();

// Lists folders on a thread, in the order given, a few ahead of their use,
// so that the status calls of one folder's listing are made while the
// folder before is being worked on.
class ListingsAhead {
public:
    explicit ListingsAhead(std::vector<std::string> searchPaths);
    ~ListingsAhead();
    ListingsAhead(const ListingsAhead&) = delete;
    ListingsAhead& operator=(const ListingsAhead&) = delete;

    // findEntries(searchPath) into `entries` when `searchPath` is the next
    // one given; false otherwise, and the caller lists it itself.
    bool take(const std::string& searchPath, std::vector<platform::DirEntry>& entries);

private:
    void work();

    static constexpr std::size_t lead = 4;  // listings held at a time
    std::vector<std::string> given_;       // unchanged while the thread runs
    std::vector<std::vector<platform::DirEntry>> listed_;
    std::size_t produced_ = 0, consumed_ = 0;  // under `lock_`
    bool stopping_ = false;
    std::mutex lock_;
    std::condition_variable changed_;
    std::thread worker_;
};
