// The usage text and the settings listing as the user sees them.
#include "archiver_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::RunResult;
using testing_support::listing;
using testing_support::runArchiver;
using testing_support::StoreBuilder;
using testing_support::TempDir;
using testing_support::makeDirectories;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

const std::string prompt = "\nPress space to continue:";

std::string erasedPrompt() {
    std::string erase;
    for (int i = 0; i < 24; ++i) erase += "\b \b";
    return prompt + erase;
}

TEST(Usage, FivePagesWithFourPromptsThatDoNotWaitWithoutAConsole) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"-?"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "");
    std::vector<std::string> pages;
    std::size_t from = 0;
    for (std::size_t at; (at = r.out.find(erasedPrompt(), from)) != std::string::npos; from = at + erasedPrompt().size())
        pages.push_back(r.out.substr(from, at - from));
    pages.push_back(r.out.substr(from));
    ASSERT_EQ(pages.size(), 5u) << r.out;

    EXPECT_EQ(pages[0].substr(0, 55), "\n\nUsage:   archiver  [parameters] [archive file name]\n\n");
    auto endsWith = [](const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(endsWith(pages[0], "\nacceptable.  The parameters ARE case sensitive\n\n")) << pages[0];
    auto startsWith = [](const std::string& text, const std::string& head) { return text.rfind(head, 0) == 0; };
    EXPECT_TRUE(startsWith(pages[1], "Location parameters\tMultiple    Description\n\t\t\tAllowed\n"
                                     "-------------------  --------    -----------\n\n"))
        << pages[1];
    EXPECT_EQ(pages[2].substr(0, 73), "These parameters are currently inclusive or'd together.  In other words,\n");
    EXPECT_EQ(pages[3].substr(0, 11), "    /S subj");
    EXPECT_TRUE(endsWith(pages[3], "Restore files to original location.\n\n\n")) << pages[3];
    EXPECT_TRUE(startsWith(pages[4], "Folder and Sort Parameters\n----------------------------\n\n")) << pages[4];
    EXPECT_TRUE(endsWith(pages[4], "Option to specify reindexing.\n\n")) << pages[4];
}

TEST(Usage, ColumnsOfTheOptionRows) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"-?"});
    const std::string text = r.out;
    auto has = [&](const std::string& line) { return text.find("\n" + line + "\n") != std::string::npos; };
    const std::string description(37, ' ');
    // "Yes" in column 27 of the first table and 28 of the second; the
    // description always in column 38.
    EXPECT_TRUE(has("    /a accountdirname     Yes        Multiple entries are allowed.  If /p not")) << text;
    EXPECT_TRUE(has(description + "from the Velmor directory (where the ")) << text;
    EXPECT_TRUE(has("    /c configFileDirectory           Specify the directory the")) << text;
    EXPECT_TRUE(has("    /f folderdirname       Yes       Multiple entries are allowed.")) << text;
    EXPECT_TRUE(has("    /T address             Yes       To address")) << text;
    EXPECT_TRUE(has("    /V 2                             Verbose mode, but do not delete.")) << text;
    EXPECT_TRUE(has(description + "This overrides the /N option")) << text;
    EXPECT_TRUE(has("    \t\t\t\t\t\t\t\t\t\t\tverbose mode is specified then make the")) << text;
    EXPECT_TRUE(has("    /Q                               Query mode for restore only.\n")) << text;
    EXPECT_TRUE(has("    /i  [option]                     Option to specify sorting of address book.")) << text;
    EXPECT_TRUE(has(std::string(47, ' ') + "company")) << text;
    EXPECT_TRUE(has("    /I                               Option to specify reindexing.")) << text;
}

TEST(Usage, RepeatedOptionIsNamedFirst) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/N", "/N"});
    EXPECT_EQ(r.status, 1);
    std::vector<std::string> lines = linesOf(r.out);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "option N specified multiple times");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "Usage:   archiver  [parameters] [archive file name]");
}

TEST(Listing, DefaultsLineByLine) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(linesOf(listing(r)), (std::vector<std::string>{
                                       "Archive requested",
                                       "Archive file name: ARCHIV00.zip",
                                       "",
                                       "Specified Velmor directory: .\\",
                                       "",
                                       "Config file name: .",
                                       "",
                                   }));
}

TEST(Listing, EverySettingInItsOrder) {
    TempDir t;
    StoreBuilder store(t.path());
    makeDirectories(t / "work.act");
    // A restore line in the file after /i: both the job and the sort are due.
    testing_support::writeFile(t / "archive.cfg", "fileSize 12\narchiveDay Fri\n-r\n");
    std::string configShown = t.path() + "/archive.cfg";
    for (char& c : configShown)
        if (c == '/') c = '\\';
    RunResult r = runArchiver(t.path(), {"/V", "4", "/Q", "/a", "work.act", "/n", "/f", "in.fld",
                                      "/G", "Sent", "/A", "30", "/D", "2001/02/03", "/t", "4:05", "/s", "Re:", "/S",
                                      "news", "/F", "me@x", "/T", "you@y", "/N", "/q", "/c", t / "archive.cfg",
                                      "/i", "alias", "saved.zip"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(linesOf(listing(r)), (std::vector<std::string>{
                                       "Restore requested",
                                       "Archive file name: saved.zip",
                                       "",
                                       "Specified Velmor directory: .\\",
                                       "",
                                       "   Account directory: work.act",
                                       "",
                                       "   Folder directory: in.fld,   Nesting: Yes",
                                       "",
                                       "   Folder name: Sent,   Nesting: Yes",
                                       "",
                                       "File age: 30",
                                       "",
                                       "Use message date for date cutoff.",
                                       "",
                                       "Date cut off: 2001\\02\\03",
                                       "",
                                       "Time cut off: 4:05",
                                       "",
                                       "Date\\Time cut off: 2001\\2\\3   4:5",
                                       "",
                                       "Begin subject: Re:",
                                       "",
                                       "Partial subject: news",
                                       "",
                                       "From address: me@x",
                                       "",
                                       "To address: you@y",
                                       "",
                                       "Files will be deleted",
                                       "",
                                       "Query mode on restore",
                                       "",
                                       "Config file name: " + configShown,
                                       "",
                                       "Sort parm: alias",
                                       "",
                                       "Archives to be performed on Fri only",
                                       "",
                                       "Files at least as big as 12 K will be archived",
                                       "",
                                       "Zip verbose mode is specified.",
                                       "",
                                   }));
}

TEST(Listing, RestoreWithoutANameShowsNull) {
    TempDir t;
    StoreBuilder store(t.path());
    RunResult r = runArchiver(t.path(), {"/V", "4", "/r"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(listing(r).substr(0, 45), "Restore requested\nArchive file name: (null)\n\n");
}

}  // namespace
