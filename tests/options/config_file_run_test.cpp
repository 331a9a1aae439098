// archive.cfg end to end: statements, option lines, precedence of the
// command line, and the numbered errors.
#include "archiver_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace testing_support;

class ConfigFile : public testing::Test {
protected:
    ConfigFile() : store(t.path()) {
        makeDirectories(t / "a.act");
        makeDirectories(t / "b.act");
        makeDirectories(t / "c.act");
    }
    RunResult withConfig(const std::string& text, std::vector<std::string> args = {"/V", "4"}) {
        writeFile(t / "archive.cfg", text);
        return runArchiver(t.path(), args);
    }
    bool listed(const RunResult& r, const std::string& line) {
        return listing(r).find(line) != std::string::npos;
    }
    TempDir t;
    StoreBuilder store;
};

TEST_F(ConfigFile, ListsFromTheFileUnlessTheCommandLineGaveEntries) {
    RunResult r = withConfig("# standing settings\n   # indented comment\n\nACCOUNTDIR a.act b.act\nbeginSubject \"My Subject\" 'x y'\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "   Account directory: a.act\n\n   Account directory: b.act\n\n")) << r.out;
    EXPECT_TRUE(listed(r, "Begin subject: My Subject\n\nBegin subject: x y\n\n")) << r.out;

    r = withConfig("accountDir a.act b.act\nbeginSubject s\n", {"/V", "4", "/a", "c.act"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(listed(r, "a.act")) << r.out;
    EXPECT_TRUE(listed(r, "   Account directory: c.act\n\n")) << r.out;
    EXPECT_TRUE(listed(r, "Begin subject: s\n")) << r.out;
}

TEST_F(ConfigFile, SingleValuesFromTheCommandLineStay) {
    RunResult r = withConfig("verbose 2\nfileAge 30\ndateCutOff 1999/01/02\ntimeCutOff 08:15\nsort email\n",
                             {"/V", "4", "/A", "7", "/d", "1998/07/14", "/t", "10:30", "/i", "name"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "File age: 7\n")) << r.out;
    EXPECT_TRUE(listed(r, "Date cut off: 1998\\07\\14\n")) << r.out;
    EXPECT_TRUE(listed(r, "Date\\Time cut off: 1998\\7\\14   10:30\n")) << r.out;
    EXPECT_TRUE(listed(r, "Sort parm: name\n")) << r.out;
    EXPECT_EQ(listing(r).substr(0, 28), "Address Book sort requested\n");

    // The file's own value is still checked.
    r = withConfig("dateCutOff 1999/99/99\n", {"/V", "4", "/d", "1998/07/14"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[707]: Invalid dateCutOff in config file!");
}

TEST_F(ConfigFile, ValuesFromTheFile) {
    RunResult r = withConfig(
        "fileAge 30\nmessageDateCutOff 1999/01/02\ntimeCutOff 8:15\ndelete\nfileSize 40\narchiveDay mo\n"
        "nestedFolders YES\nfolderDir x.fld\nnestedFolders no\nfolderName Sent\nsort\n");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string expected =
        "Address Book sort requested\n"
        "Archive file name: (null)\n\n"
        "Specified Velmor directory: .\\\n\n"
        "   Folder directory: x.fld,   Nesting: Yes\n\n"
        "   Folder name: Sent,   Nesting: No\n\n"
        "File age: 30\n\n"
        "Use message date for date cutoff.\n\n"
        "Date cut off: 1999\\01\\02\n\n"
        "Time cut off: 8:15\n\n"
        "Date\\Time cut off: 1999\\1\\2   8:15\n\n"
        "Files will be deleted\n\n"
        "Config file name: .\n\n"
        "Sort parm: \n\n"
        "Archives to be performed on mo only\n\n"
        "Files at least as big as 40 K will be archived\n\n";
    EXPECT_EQ(listing(r), expected);
    EXPECT_EQ(beforeBanner(r), "Archive day Monday specified in config file\n\n");
}

TEST_F(ConfigFile, VerboseMessagesOfStatements) {
    // The query mode check after the file ends the run before any job.
    RunResult r = withConfig("verbose 1\naccountDir a.act\ndateCutOff 1998/07/14\ntimeCutOff 10:05\nfileSize 3\ndelete\n",
                             {"/Q"});
    EXPECT_EQ(r.err, "[2420]: Query mode is only valid when restoring files.");
    EXPECT_EQ(r.out,
              "verbose set in config file: 1\n"
              "accountDir set in config file: a.act\n"
              "dateCutOff set in config file: 1998\\7\\14\n"  // every console line shows backslashes
              "timeCutOff set in config file: 10:5\n"
              "fileSize set in config file: 3\n"
              "delete set in config file\n")
        << r.err;
}

TEST_F(ConfigFile, OptionLinesActLikeTheCommandLine) {
    RunResult r = withConfig("-r\n-N -q\n/s first +s second\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(r).substr(0, 18), "Restore requested\n");
    EXPECT_TRUE(listed(r, "Begin subject: first\n\nBegin subject: second\n\n")) << r.out;
    EXPECT_TRUE(listed(r, "Files will be deleted\n")) << r.out;
    EXPECT_TRUE(listed(r, "Zip verbose mode is specified.\n")) << r.out;

    // The rest of an option line after a plain word is ignored.
    r = withConfig("-N word -r\n");
    EXPECT_EQ(listing(r).substr(0, 18), "Archive requested\n");

    // A repeated letter that the command line set is left alone...
    r = withConfig("-V 2\n-N\n", {"/V", "4", "/N"});
    EXPECT_EQ(r.status, 0) << r.out;
    // ... except where the rules say a repeat is always wrong.
    r = withConfig("-q\n", {"/V", "4", "/q"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, 33), "option q specified multiple times");
    r = withConfig("-c other\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, 33), "option c specified multiple times");
    EXPECT_FALSE(hasBanner(r));
}

TEST_F(ConfigFile, ScannerMessagesNameTheFile) {
    RunResult r = withConfig("-x\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "./archive.cfg: illegal option -- x\n");
    EXPECT_TRUE(showsUsage(r));
}

struct ErrorCase {
    std::string config;
    std::string err;
};

TEST_F(ConfigFile, NumberedErrors) {
    const std::vector<ErrorCase> cases = {
        {"delete yes\n", "[413]: Too many parameters for Delete in configuration file."},
        {"verbose\n", "[409]: Missing parameter for Verbose in configuration file."},
        {"accountDir\n", "[409]: Missing parameter for Account directory name in configuration file."},
        {"bogus x\n", "[1516]: Unknown statement in config file: [bogus]"},
        {"accountDir x # note\n", "[2449]: Specified account ./x not found."},
        {"fileAge 3d\n", "[656]: Invalid number for fileAge in config file"},
        {"fileAge 3\nfileAge 4\n", "[672]: FileAge specified multiple times in config file"},
        {"dateCutOff 1998/01/01\nmessageDateCutOff 1998/01/02\n",
         "[703]: Multiple entries for dateCutOff found in config file"},
        {"dateCutOff soon\n", "[707]: Invalid dateCutOff in config file!"},
        {"timeCutOff 99:00\n", "[761]: Invalid timeCutOff in config file"},
        {"timeCutOff 1:00\ntimeCutOff 2:00\n", "[783]: Time cut off specified multiple times in config file"},
        {"archiveFile a\narchiveFile b\n", "[969]: Archive file name specified multiple times in config file"},
        {"verbose x\n", "[1022]: Invalid argument for Verbose in config file"},
        {"verbose 4\n", "[1030]: Invalid argument for Verbose in config file"},
        {"verbose 1\nverbose 2\n", "[1043]: Verbose option specified multiple times in the configuration file"},
        {"archiveDay mo\narchiveDay tu\n", "[1130]: ArchiveDay specified multiple times in the configuration file"},
        {"archiveDay x\n", "[1134]: The day must be at least two characters long"},
        {"archiveDay xy\n", "[1156]: Invalid day specified for archiveDay"},
        {"sort name\nsort alias\n", "[1192]: Sort parameter specified multiple times in configuration file"},
        {"allRequired\nallRequired\n", "[1219]: AllRequired specified multiple times in config file"},
        {"fileSize 1k\n", "[1248]: Invalid argument for fileSize in config file"},
        {"fileSize 1\nfileSize 2\n", "[1262]: File Size specified multiple times"},
        {"originalLocation\noriginalLocation\n",
         "[1284]: OriginalLocation specified multiple times in configuration file"},
        {"nestedFolders maybe\n", "[1425]: Invalid parameter specified for NestedFolders"},
        {"velmorDirName " + t.path() + "/missing\n",
         "[1943]: You are not in the Velmor directory, or have not specified the Velmor directory properly!"},
    };
    for (const ErrorCase& c : cases) {
        RunResult r = withConfig(c.config, {});
        EXPECT_EQ(r.status, 1) << c.config;
        EXPECT_EQ(r.err, c.err) << c.config;
        EXPECT_FALSE(hasBanner(r)) << c.config;
    }
}

TEST_F(ConfigFile, AllRequiredAndOriginalLocationMayNotRepeatTheCommandLine) {
    RunResult r = withConfig("allRequired\n", {"/R"});
    EXPECT_EQ(r.err, "[1219]: AllRequired specified multiple times in config file");
    r = withConfig("originalLocation\n", {"/o"});
    EXPECT_EQ(r.err, "[1284]: OriginalLocation specified multiple times in configuration file");
}

TEST_F(ConfigFile, ArchiveNameOnTheCommandLineWins) {
    RunResult r = withConfig("archiveFile saved??\n");
    EXPECT_TRUE(listed(r, "Archive file name: saved00.zip\n")) << r.out;
    r = withConfig("archiveFile saved??\n", {"/V", "4", "mine.zip"});
    EXPECT_TRUE(listed(r, "Archive file name: mine.zip\n")) << r.out;
}

TEST_F(ConfigFile, ReindexSkipsFilterStatementsAndUnknownWords) {
    RunResult r = withConfig("folderDir a.fld\nbogus\ndelete\naccountDir a.act\n", {"/V", "4", "/I"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(listing(r),
              "Reindex requested\n"
              "Archive file name: (null)\n\n"
              "Specified Velmor directory: .\\\n\n"
              "   Account directory: a.act\n\n"
              "Config file name: .\n\n");
}

TEST_F(ConfigFile, WhereTheFileIsLookedFor) {
    // /c none: nothing is read.
    RunResult r = withConfig("bogus\n", {"/V", "4", "/c", "None"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "Config file name: None\n")) << r.out;

    // /c a directory without archive.cfg: no configuration.
    makeDirectories(t / "empty");
    r = withConfig("bogus\n", {"/V", "4", "/c", t / "empty"});
    EXPECT_EQ(r.status, 0) << r.err;

    // /c a directory or a file of any name.
    writeFile(t / "conf/archive.cfg", "fileSize 9\n");
    writeFile(t / "other.txt", "fileSize 8\n");
    r = withConfig("", {"/V", "4", "/c", t / "conf"});
    EXPECT_TRUE(listed(r, "Files at least as big as 9 K will be archived\n")) << r.out;
    r = withConfig("", {"/V", "4", "/c", t / "other.txt"});
    EXPECT_TRUE(listed(r, "Files at least as big as 8 K will be archived\n")) << r.out;

    r = withConfig("", {"/V", "4", "/c", t / "missing"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[1585]: Nonexistent configuration file specified: " + (t / "missing"));
}

TEST_F(ConfigFile, WithMainDirectoryTheFileIsReadThere) {
    makeDirectories(t / "start");
    writeFile(t / "start/archive.cfg", "fileSize 1\n");
    writeFile(t / "archive.cfg", "fileSize 2\n");
    RunResult r = runArchiver(t / "start", {"/V", "4", "/p", t.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "Files at least as big as 2 K will be archived\n")) << r.out;
}

TEST_F(ConfigFile, MainDirectoryStatementEntersIt) {
    makeDirectories(t / "start");
    writeFile(t / "start/archive.cfg", "velmorDirName " + t.path() + "\naccountDir a.act\n");
    RunResult r = runArchiver(t / "start", {"/V", "4"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "   Account directory: a.act\n")) << r.out;
}

TEST_F(ConfigFile, HostileLines) {
    // A line longer than the buffer is taken in pieces: here the second
    // piece is a statement of its own.
    std::string pieces = "beginSubject " + std::string(241, 'a') + "fileSize 5\n";
    RunResult r = withConfig(pieces);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "Files at least as big as 5 K will be archived\n")) << r.out;

    // A very long word: cut to the message buffer, no overrun.
    r = withConfig(std::string(5000, 'x') + "\n", {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(0, 44), "[1516]: Unknown statement in config file: [x");
    EXPECT_LE(r.err.size(), 255u);

    // Binary bytes, unbalanced quotes, more than a hundred words.
    std::string many = "beginSubject";
    for (int i = 0; i < 120; ++i) many += " w";
    r = withConfig("partialSubject \xDE\x01\xFF\"unclosed quote\n" + many + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(listed(r, "Partial subject: \xDE\x01\xFF\n\nPartial subject: unclosed quote\n")) << r.out;
    std::size_t count = 0;
    for (std::size_t at = 0; (at = r.out.find("Begin subject: w\n", at)) != std::string::npos; ++at) ++count;
    EXPECT_EQ(count, 120u);

    r = withConfig(std::string("\x01\x02\n"), {});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "[1516]: Unknown statement in config file: [\x01\x02]");
}

}  // namespace
