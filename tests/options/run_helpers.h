// Running the built archiver for the option tests.
#pragma once

#include "test_support.h"

#include <string>
#include <vector>

namespace options_test {

using testing_support::RunResult;

inline RunResult archiver(const std::string& workDir, const std::vector<std::string>& args) {
    testing_support::RunOptions options;
    options.workDir = workDir;
    return testing_support::run(ARCHIVER_BIN, args, options);
}

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

}  // namespace options_test
