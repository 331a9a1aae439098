// A client store in a temporary directory and runs of the built archiver
// on it, for the archive and reindex tests.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class StoreRun : public ::testing::Test {
protected:
    StoreRun() : main_(temp_ / "velmor"), store_(main_) {}

    const std::string& mainDir() const { return main_; }
    std::string at(const std::string& relative) const { return main_ + "/" + relative; }
    testing_support::StoreBuilder& store() { return store_; }
    const testing_support::TempDir& temp() const { return temp_; }

    testing_support::RunResult archiver(const std::vector<std::string>& args,
                                        testing_support::RunOptions options = {}) {
        if (options.workDir.empty()) options.workDir = main_;
        return testing_support::run(ARCHIVER_BIN, args, options);
    }

    // A message with the usual headers; `age` days old by its file times.
    void message(const std::string& path, const std::string& subject, const std::string& from,
                 const std::string& to = "bob@work.example", long ageDays = 0) {
        store_.message(path, {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: " + from, "To: " + to,
                              "Subject: " + subject});
        if (ageDays) testing_support::setModifyTime(at(path), std::time(nullptr) - ageDays * 86400);
    }

    // The index line the header reader builds for a message of message().
    static std::string builtLine(const std::string& subject, const std::string& fromName,
                                 const std::string& fromAddress, const std::string& fileName,
                                 const std::string& values = "1", const std::string& values2 = "1",
                                 const std::string& to = "bob@work.example") {
        return testing_support::indexLine(
            {values, values2, "1998-07-14", "11:39:10", subject, to, to, fromAddress, fromName, "1K", fileName});
    }

    // The file's identity on disk: a file replaced by a rename gets a new one.
    static std::uint64_t inodeOf(const std::string& path) { return testing_support::fileIdentity(path); }

private:
    testing_support::TempDir temp_;
    std::string main_;
    testing_support::StoreBuilder store_;
};
