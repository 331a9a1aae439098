// Runs of the built archiver: a client store in a temporary directory to
// run it on, and the parts of what it prints that tests look at.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// Standard output after the start banner: the settings listing of /V 4.
inline std::string listing(const RunResult& r) {
    const std::string versionLine = "Version 1.09\\W  built: Jul 14 1998  11:39:10\n\n\n";
    const std::size_t at = r.out.find(versionLine);
    if (at == std::string::npos) return "<no banner>\n" + r.out;
    return r.out.substr(at + versionLine.size());
}

// Standard output before the banner (numbering messages, early exits).
inline std::string beforeBanner(const RunResult& r) {
    const std::size_t at = r.out.find("\nVelmor Archiver");
    return at == std::string::npos ? r.out : r.out.substr(0, at);
}

inline bool hasBanner(const RunResult& r) { return r.out.find("Velmor Archiver") != std::string::npos; }

inline bool showsUsage(const RunResult& r) {
    return r.out.find("Usage:   archiver  [parameters] [archive file name]\n") != std::string::npos;
}

}  // namespace testing_support

// A store in <temp>/velmor, and runs of the archiver in it.
class StoreRun : public ::testing::Test {
protected:
    StoreRun() : main_(temp_ / "velmor"), store_(main_) {}

    const std::string& mainDir() const { return main_; }
    std::string at(const std::string& relative) const { return main_ + "/" + relative; }
    testing_support::StoreBuilder& store() { return store_; }
    const testing_support::TempDir& temp() const { return temp_; }

    testing_support::RunResult archiver(const std::vector<std::string>& args,
                                        testing_support::RunOptions options = {}) {
        return testing_support::runArchiver(options.workDir.empty() ? main_ : options.workDir, args, options);
    }

    // A message with the usual headers; `age` days old by its file times.
    void message(const std::string& path, const std::string& subject, const std::string& from,
                 const std::string& to = "bob@work.example", long ageDays = 0) {
        store_.message(path, testing_support::messageHeaders(subject, from, to));
        if (ageDays) store_.age(path, ageDays);
    }

    // The index line the header reader builds for a message of message().
    static std::string builtLine(const std::string& subject, const std::string& fromName,
                                 const std::string& fromAddress, const std::string& fileName,
                                 const std::string& values = "1", const std::string& values2 = "1",
                                 const std::string& to = "bob@work.example") {
        return testing_support::messageIndexLine(subject, fromName, fromAddress, fileName, values, values2, to);
    }

    // The file's identity on disk: a file replaced by a rename gets a new one.
    static std::uint64_t inodeOf(const std::string& path) { return testing_support::fileIdentity(path); }

private:
    testing_support::TempDir temp_;
    std::string main_;
    testing_support::StoreBuilder store_;
};
