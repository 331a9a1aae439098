// --version of both programs: the banner's product lines, status 0, and
// no run at all.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testing_support::listDirectory;
using testing_support::RunOptions;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::writeFile;

RunResult runIn(const std::string& program, const TempDir& dir, const std::vector<std::string>& args) {
    RunOptions options;
    options.workDir = dir.path();
    return testing_support::run(program, args, options);
}

// The non-empty lines of the banner, which a settings listing of a restore
// (no archive name to number) prints before anything else.
std::string bannerLines(const std::string& out) {
    std::string lines;
    std::size_t from = 0;
    for (int found = 0; found < 2 && from < out.size();) {
        std::size_t end = out.find('\n', from);
        if (end == std::string::npos) break;
        if (end > from) {
            lines += out.substr(from, end - from + 1);
            ++found;
        }
        from = end + 1;
    }
    return lines;
}

TEST(Version, ArchiverShowsTheBannerLinesAndEndsWithZero) {
    TempDir dir;
    RunResult listing = runIn(ARCHIVER_BIN, dir, {"/V", "4", "/r", "/c", "none"});
    ASSERT_EQ(listing.status, 0) << listing.err;
    const std::string banner = bannerLines(listing.out);

    RunResult r = runIn(ARCHIVER_BIN, dir, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, banner);
    // The number is the one the build was configured with.
    EXPECT_EQ(r.out, "Velmor Archiver - mail store archiving utility\n"
                     "Version " PROJECT_VERSION "\\W  built: Jul 14 1998  11:39:10\n");
}

TEST(Version, ArchiverReadsAndWritesNothingForIt) {
    TempDir dir;
    // A configuration that would stop any run, and options after the word
    // that would too: neither is looked at.
    writeFile(dir / "archive.cfg", "bogus statement\n");
    RunResult r = runIn(ARCHIVER_BIN, dir, {"--version", "/N", "/N"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(listDirectory(dir.path()), std::vector<std::string>{"archive.cfg"});
}

TEST(Version, OtherLongWordsStillShowTheUsage) {
    TempDir dir;
    for (const char* word : {"--help", "--versio", "--version=1"}) {
        RunResult r = runIn(ARCHIVER_BIN, dir, {word});
        EXPECT_EQ(r.status, 1) << word;
        EXPECT_NE(r.out.find("Usage:   archiver  [parameters] [archive file name]"), std::string::npos) << word;
    }
}

TEST(Version, AttfixShowsTheSameLinesAndStillLeavesItsTrace) {
    TempDir dir;
    RunResult archiver = runIn(ARCHIVER_BIN, dir, {"--version"});
    RunResult r = runIn(ATTFIX_BIN, dir, {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, archiver.out);
    EXPECT_EQ(testing_support::readFile(dir / "test.out"), "input file: --version  (null)\n");
}

TEST(Version, AttfixTakesItOnlyAsTheOneArgument) {
    TempDir dir;
    RunResult r = runIn(ATTFIX_BIN, dir, {"--version", "x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
}

}  // namespace
