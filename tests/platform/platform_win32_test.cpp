// The platform layer's Windows meanings: drives, the system's own search,
// atomic replace, CreateProcess arguments, standard input from a file, the
// command interpreter, keys from a pipe and Ctrl+C.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>

using namespace testing_support;

namespace {

std::vector<std::string> namesOf(const std::vector<platform::DirEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries) names.push_back(e.name);
    return names;
}

const platform::DirEntry* entryNamed(const std::vector<platform::DirEntry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.name == name) return &e;
    return nullptr;
}

// Runs the probe directly through the platform, as the runner starts zip.
int probe(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"platform_probe"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    platform::Error error;
    return platform::spawnAndWait(PLATFORM_PROBE, argv, error);
}

}  // namespace

TEST(WindowsPaths, DrivesStaySeparatorsTurnAndCaseIsTheSystems) {
    EXPECT_EQ(platform::resolvePath("D:\\save\\a.zip"), "D:/save/a.zip");
    EXPECT_EQ(platform::resolvePath(".\\a.act\\\\x.fld/"), "./a.act/x.fld/");
    EXPECT_EQ(platform::resolvePath("\\\\server\\share\\a.zip"), "//server/share/a.zip");
    EXPECT_STREQ(platform::pathSeparator(), "\\");
    EXPECT_EQ(platform::pathListSeparator(), ';');
    EXPECT_STREQ(platform::executableSuffix(), ".exe");

    TempDir t;
    writeFile(t / "Work.ACT/Inbox.FLD/folder.BAG", "x");
    EXPECT_TRUE(platform::fileExists(t / "work.act\\inbox.fld\\FOLDER.bag"));
    EXPECT_FALSE(platform::fileExists(t / "work.act/inbox.fld/other.bag"));
}

TEST(WindowsPaths, DrivesAreRealAndAMissingOneCannotBeEntered) {
    const int start = platform::currentDrive();
    const std::string startDir = platform::currentDirectory();
    ASSERT_GE(start, 1);
    ASSERT_LE(start, 26);
    EXPECT_EQ(startDir[0] & ~0x20, 'A' + start - 1);
    const DWORD drives = GetLogicalDrives();
    int missing = 0, other = 0;
    for (int d = 26; d >= 1; --d) {
        if (!(drives & (1u << (d - 1)))) missing = d;
        else if (d != start) other = d;
    }
    ASSERT_NE(missing, 0);
    EXPECT_FALSE(platform::changeDrive(missing));
    EXPECT_EQ(platform::currentDrive(), start);
    EXPECT_FALSE(platform::changeDrive(0));
    EXPECT_FALSE(platform::changeDrive(27));
    if (other != 0) {
        EXPECT_TRUE(platform::changeDrive(other));
        EXPECT_EQ(platform::currentDrive(), other);
        EXPECT_EQ(platform::currentDirectory()[0] & ~0x20, 'A' + other - 1);
    }
    EXPECT_TRUE(platform::changeDrive(start));
    EXPECT_TRUE(platform::changeDirectory(startDir));
    EXPECT_EQ(platform::currentDirectory(), startDir);
}

TEST(WindowsSearch, TheSystemsWildcardsAttributesSizesAndTimes) {
    TempDir t;
    writeFile(t / "b.msg", "12345");
    writeFile(t / "A.msg", "1");
    writeFile(t / "README", "");
    writeFile(t / "archiv07.ZIP", "");
    writeFile(t / "archiv123.zip", "");
    makeDirectories(t / "Inbox.fld");
    setModifyTime(t / "b.msg", 900000000);

    const auto all = platform::findEntries(t.path() + "\\*.*");
    EXPECT_EQ(namesOf(all), (std::vector<std::string>{".", "..", "A.msg", "archiv07.ZIP", "archiv123.zip", "b.msg",
                                                      "Inbox.fld", "README"}));
    const platform::DirEntry* b = entryNamed(all, "b.msg");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->size, 5);
    EXPECT_EQ(b->modifyTime, 900000000);
    EXPECT_NE(b->changeTime, 0) << "the creation time";
    EXPECT_EQ(b->attributes & platform::attributeDirectory, 0u);
    const platform::DirEntry* inbox = entryNamed(all, "Inbox.fld");
    ASSERT_NE(inbox, nullptr);
    EXPECT_EQ(inbox->attributes & platform::attributeDirectory, platform::attributeDirectory);

    EXPECT_EQ(namesOf(platform::findEntries(t / "*.MSG")), (std::vector<std::string>{"A.msg", "b.msg"}));
    EXPECT_EQ(namesOf(platform::findEntries(t / "ARCHIV??.zip")), (std::vector<std::string>{"archiv07.ZIP"}));
    EXPECT_TRUE(platform::findEntries(t / "missing/*.*").empty());
}

TEST(WindowsFiles, AtomicFileReplacesAnExistingFileOnlyOnCommit) {
    TempDir t;
    writeFile(t / "Folder.bag", "old");
    {
        platform::AtomicFile f;
        ASSERT_FALSE(f.open(t / "folder.bag"));
        std::fputs("half\n", f.stream());
    }
    EXPECT_EQ(readFile(t / "Folder.bag"), "old");
    EXPECT_EQ(listDirectory(t.path()).size(), 1u) << "the temporary file is gone";

    platform::AtomicFile f;
    ASSERT_FALSE(f.open(t / "folder.bag"));
    std::fputs("new\n", f.stream());
    EXPECT_FALSE(f.commit());
    const auto names = listDirectory(t.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(readFile(t / names[0]), "new\n") << "bytes as written: no CR added";

    // Only text written without "b" gets CR LF line ends; reading keeps bytes.
    std::FILE* text = platform::openFile(t / "report.rpt", "a");
    ASSERT_NE(text, nullptr);
    std::fputs("line\n", text);
    std::fclose(text);
    EXPECT_EQ(readFile(t / "report.rpt"), "line\r\n");
    writeFile(t / "index.bag", "a\r\nb\x1a" "c\n");
    std::FILE* in = platform::openFile(t / "INDEX.bag", "r");
    ASSERT_NE(in, nullptr);
    char buffer[16] = {};
    EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in), 7u) << "Ctrl+Z does not end the file";
    std::fclose(in);
}

TEST(WindowsPrograms, ArgumentsArriveExactlyAsGiven) {
    TempDir t;
    const std::vector<std::string> arguments{"plain", "", "two words", "tab\there", "say \"hi\"", "trailing\\",
                                             "dir with blank\\", "\\\\server\\share", "back\\\\\"quote", "50%s",
                                             "caf\xE9", "&|<>^"};
    std::vector<std::string> call{"args", t / "args.txt"};
    call.insert(call.end(), arguments.begin(), arguments.end());
    EXPECT_EQ(probe(call), static_cast<int>(arguments.size()));
    std::string expected;
    for (const auto& a : arguments) expected += "[" + a + "]\n";
    EXPECT_EQ(readFile(t / "args.txt"), expected);

    platform::Error error;
    EXPECT_EQ(platform::spawnAndWait(t / "missing.exe", {"missing.exe"}, error), -1);
    EXPECT_EQ(error.number, ERROR_FILE_NOT_FOUND);
}

TEST(WindowsPrograms, AFileBecomesStandardInputOfTheProgramsStarted) {
    TempDir t;
    const std::string bytes = "./a.act/in.fld/1.msg\r\nbackup.bag\n\x1a" "after\n";
    writeFile(t / "list.tmp", bytes);
    EXPECT_EQ(probe({"stdin", t / "LIST.tmp", t / "copy.txt"}), 0);
    EXPECT_EQ(readFile(t / "copy.txt"), bytes);
    EXPECT_EQ(probe({"stdin", t / "none.tmp", t / "copy2.txt"}), 2);
    EXPECT_FALSE(exists(t / "copy2.txt"));
}

TEST(WindowsPrograms, TheCommandInterpreterTemporariesAndTheEnvironment) {
    TempDir t;
    const std::string out = t / "out file.txt";
    EXPECT_EQ(platform::interpreterWord("C:/x/arc1.tmp"), "C:/x/arc1.tmp");
    EXPECT_EQ(platform::interpreterWord(out), "\"" + out + "\"");
    EXPECT_EQ(platform::runCommandInterpreter("echo hello>" + platform::interpreterWord(out) + "& exit 4"), 4);
    EXPECT_EQ(readTextFile(out), "hello\n");

    const std::string temp = platform::createTemporaryFile();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(exists(temp));
    char dir[MAX_PATH + 1];
    GetTempPathA(sizeof dir, dir);
    EXPECT_EQ(temp.rfind(dir, 0), 0u) << temp << " is in the system's temporary directory";
    const std::string second = platform::createTemporaryFile();
    EXPECT_NE(second, temp);
    platform::removeTemporaryFile(temp);
    platform::removeTemporaryFile(second);
    EXPECT_FALSE(exists(temp));

    setEnvironment("ARCHIVER_PROBE", "");
    ASSERT_NE(platform::environmentValue("ARCHIVER_PROBE"), nullptr) << "set, though empty";
    unsetEnvironment("ARCHIVER_PROBE");
    EXPECT_EQ(platform::environmentValue("ARCHIVER_PROBE"), nullptr);
}

TEST(WindowsConsole, KeysFromAPipeAreItsPlainBytesThenTheEnd) {
    RunOptions o;
    o.input = "yn\x1a\r\nq";
    RunResult r = run(PLATFORM_PROBE, {"keys"}, o);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "waiting [y][n][\x1a][\r][\n][q]");

    o.input.clear();
    o.inputFromDevNull = false;  // a pipe that ends at once
    r = run(PLATFORM_PROBE, {"keys"}, o);
    EXPECT_EQ(r.out, "");
}

TEST(WindowsSignals, CtrlCStopsTheRunAfterRemovingItsTemporaries) {
    RunResult r = run(PLATFORM_PROBE, {"interrupt"});
    if (r.status == 3) GTEST_SKIP() << "no console to send Ctrl+C through here";
    EXPECT_EQ(r.status, 5) << r.out << r.err;
    EXPECT_EQ(r.err, "interrupted\n");
    const std::string temporary = r.out.substr(0, r.out.find('\n'));
    ASSERT_FALSE(temporary.empty());
    EXPECT_FALSE(exists(temporary));
}

// A running zip shares the console and gets the Ctrl+C too: one that stops
// is waited for; one that does not is ended after a grace of 5 s. Either
// way the run ends with the handler's status and the child is gone.
TEST(WindowsSignals, CtrlCWaitsForARunningChildOrEndsIt) {
    for (const bool ignoring : {false, true}) {
        const std::string name = "archiver-probe-" + std::to_string(GetCurrentProcessId()) + (ignoring ? "-i" : "-s");
        std::vector<std::string> args{"interrupt-child", name};
        if (ignoring) args.push_back("ignore");
        const DWORD start = GetTickCount();
        RunResult r = run(PLATFORM_PROBE, args);
        const DWORD took = GetTickCount() - start;
        if (r.status == 3) GTEST_SKIP() << "no console to send Ctrl+C through here";
        EXPECT_EQ(r.status, 5) << ignoring << r.out << r.err;
        HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        EXPECT_EQ(held, nullptr) << "the child is still there";
        if (held) CloseHandle(held);
        if (ignoring) {
            EXPECT_GE(took, 5000u);
            EXPECT_LT(took, 25000u);
        } else {
            EXPECT_LT(took, 5000u);
        }
    }
}
