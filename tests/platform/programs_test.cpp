// Other programs: exact arguments and exit statuses, standard input from a
// file, the command interpreter, temporary files and the environment. On
// Windows a probe program (platform_probe.cpp) shows what arrived.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace testing_support;

#ifdef _WIN32

namespace {

// Runs the probe directly through the platform, as the runner starts zip.
int probe(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"platform_probe"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    platform::Error error;
    return platform::spawnAndWait(PLATFORM_PROBE, argv, error);
}

}  // namespace

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

#else

TEST(PlatformPrograms, SpawnPassesExactArgumentsAndExitStatus) {
    TempDir t;
    writeFile(t / "show.sh", "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\nexit 3\n");
    chmod((t / "show.sh").c_str(), 0755);
    platform::Error error;
    int status = platform::spawnAndWait(t / "show.sh", {"show.sh", "-q", "My Mail/a.zip", "", "x%sy"}, error);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(readFile(t / "args.txt"), "[-q]\n[My Mail/a.zip]\n[]\n[x%sy]\n");
    EXPECT_EQ(platform::spawnAndWait(t / "missing", {"missing"}, error), -1);
    EXPECT_EQ(error.number, ENOENT);
}

TEST(PlatformPrograms, StandardInputFromAFileAndTheCommandInterpreter) {
    TempDir t;
    writeFile(t / "list.txt", "one\ntwo\n");
    // The redirection is for the rest of the process, so it runs in a child.
    EXPECT_EXIT(
        {
            if (!platform::redirectStandardInput(t / "LIST.TXT")) _exit(9);
            platform::Error error;
            int s = platform::spawnAndWait("/bin/sh", {"sh", "-c", "cat > \"$0\"", t / "copy.txt"}, error);
            _exit(s);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(t / "copy.txt"), "one\ntwo\n");
    EXPECT_EXIT({ _exit(platform::redirectStandardInput(t / "none.txt") ? 0 : 2); }, ::testing::ExitedWithCode(2), "");

    EXPECT_EQ(platform::runCommandInterpreter("echo hello > '" + t / "out.txt" + "'; exit 4"), 4);
    EXPECT_EQ(readFile(t / "out.txt"), "hello\n");
    std::string temp = platform::createTemporaryFile();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(exists(temp));
    EXPECT_NE(platform::createTemporaryFile(), temp);
    platform::removeTemporaryFile(temp);
    EXPECT_FALSE(exists(temp));
}

#endif
