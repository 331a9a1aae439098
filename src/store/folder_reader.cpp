#include "folder_reader.h"

#include "thread_counts.h"

#include <algorithm>
#include <cstring>

namespace {

// While one thread waits for the file system the other goes on.
constexpr std::size_t readingThreads = threadCounts::folderReaders;
// Files read ahead at most; the threads sleep until half of them are taken,
// so that they do not wake for every file.
constexpr std::size_t readingWindow = 512;
constexpr std::size_t wakeThreadsAfter = readingWindow / 2;
// A taker that has to wait sleeps until this many files are ready in a
// row: on a cold disk it would otherwise be woken for every file.
constexpr std::size_t takerBatch = 64;
// Folders with fewer messages are read without the threads.
constexpr std::size_t readAheadFrom = 4;

std::size_t hits = 0;  // main thread only

}  // namespace

std::size_t readAheadHits() { return hits; }

FolderReader::FolderReader(const std::string& dir, std::string diskDir, ListingsAhead* listings)
    : listing_(dir, listings), diskDir_(std::move(diskDir)) {}

FolderReader::~FolderReader() { stop(); }

void FolderReader::readAhead(const std::vector<bool>& wanted, platform::EnoughRead enough) {
    stop();
    order_.clear();
    for (std::size_t i = 0; i < wanted.size() && i < entries().size(); ++i)
        if (wanted[i]) order_.push_back(i);
    if (order_.size() < readAheadFrom) {
        order_.clear();
        return;
    }
    enough_ = enough;
    window_ = std::min(readingWindow, order_.size());
    slots_.reset(new Slot[window_]);
    claimed_ = taken_ = readyInRow_ = takerWaitsFor_ = threadsWaiting_ = 0;
    stopping_ = false;
    for (std::size_t t = 0; t < readingThreads; ++t) {
        std::thread thread;
        // Without its threads every take() misses and the caller reads for itself.
        if (!platform::startQuietThread(thread, [this] { work(); })) break;
        threads_.push_back(std::move(thread));
    }
    if (threads_.empty()) order_.clear();
}

void FolderReader::work() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        if (!stopping_ && claimed_ < order_.size() && claimed_ >= taken_ + window_) {
            ++threadsWaiting_;
            changed_.wait(guard, [&] { return stopping_ || claimed_ < taken_ + window_; });
            --threadsWaiting_;
        }
        if (stopping_ || claimed_ >= order_.size()) return;
        const std::size_t k = claimed_++;
        guard.unlock();
        // The slot is free: the file that used it has been taken, and no
        // one else looks at it until it is marked ready.
        Slot& slot = slots_[k % window_];
        const platform::DirEntry& entry = entries()[order_[k]];
        slot.usable = platform::readWholeStart(diskDir_ + entry.name, slot.start, enough_);
        guard.lock();
        slot.ready = true;
        while (readyInRow_ < claimed_ && slots_[readyInRow_ % window_].ready) ++readyInRow_;
        if (takerWaitsFor_ != 0 && readyInRow_ >= takerWaitsFor_) changed_.notify_all();
    }
}

bool FolderReader::take(std::size_t index, platform::FileStart& start) {
    if (taken_ >= order_.size() || order_[taken_] != index) return false;
    const std::size_t k = taken_;
    Slot& slot = slots_[k % window_];
    std::unique_lock<std::mutex> guard(lock_);
    if (!slot.ready) {
        takerWaitsFor_ = std::min(k + takerBatch, order_.size());
        changed_.wait(guard, [&] { return readyInRow_ >= takerWaitsFor_; });
        takerWaitsFor_ = 0;
    }
    guard.unlock();
    const bool usable = slot.usable;
    if (usable) {
        start.size = slot.start.size;
        std::memcpy(start.bytes, slot.start.bytes, slot.start.size);
        start.file = platform::FileHandle{};
        start.readError = slot.start.readError;
        ++hits;
    }
    guard.lock();
    slot.ready = false;
    taken_ = k + 1;
    if (threadsWaiting_ != 0 && claimed_ < order_.size() && taken_ + window_ >= claimed_ + wakeThreadsAfter)
        changed_.notify_all();
    return usable;
}

void FolderReader::stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
    threads_.clear();
}

ListingsAhead::ListingsAhead(std::vector<std::string> searchPaths) : given_(std::move(searchPaths)) {
    listed_.resize(given_.size());
    if (!given_.empty() && !platform::startQuietThread(worker_, [this] { work(); })) given_.clear();
}

ListingsAhead::~ListingsAhead() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

void ListingsAhead::work() {
    for (std::size_t i = 0; i < given_.size(); ++i) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            changed_.wait(guard, [&] { return stopping_ || i < consumed_ + lead; });
            if (stopping_) return;
        }
        std::vector<platform::DirEntry> entries = platform::findEntries(given_[i]);
        {
            std::lock_guard<std::mutex> guard(lock_);
            listed_[i] = std::move(entries);
            produced_ = i + 1;
        }
        changed_.notify_all();
    }
}

bool ListingsAhead::take(const std::string& searchPath, std::vector<platform::DirEntry>& entries) {
    std::unique_lock<std::mutex> guard(lock_);
    const std::size_t next = consumed_;
    if (next >= given_.size() || given_[next] != searchPath) return false;
    changed_.wait(guard, [&] { return produced_ > next; });
    entries = std::move(listed_[next]);
    consumed_ = next + 1;
    guard.unlock();
    changed_.notify_all();
    return true;
}
