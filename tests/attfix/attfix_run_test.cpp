// attfix run as a program on message files in a temporary directory.
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

using testing_support::exists;
using testing_support::isDirectory;
using testing_support::listDirectory;
using testing_support::readFile;
using testing_support::RunOptions;
using testing_support::RunResult;
using testing_support::TempDir;
using testing_support::writeFile;

namespace {

const std::string kTemporary = "msg.$$$";

RunResult runIn(const TempDir& dir, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {}) {
    RunOptions options;
    options.workDir = dir.path();
    options.env = env;
    return testing_support::run(ATTFIX_BIN, args, options);
}

std::string announced(const std::string& input, const std::string& temporary) {
    return "Input file: " + input + "\nNew file name: " + temporary + "\n";
}

// Runs attfix on `bytes` stored as m.msg and expects a clean rewrite.
std::string rewritten(const std::string& bytes) {
    TempDir dir;
    writeFile(dir / "m.msg", bytes);
    RunResult r = runIn(dir, {dir / "m.msg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, announced(dir / "m.msg", dir / kTemporary));
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"m.msg", "test.out"}));
    return readFile(dir / "m.msg");
}

TEST(AttfixRun, RewritesTheHeaderFormsAndCopiesEverythingElse) {
    const std::string before =
        "From: a@b.example\r\n"
        "Content-Disposition: attachment; filename=\"D:\\A\\B\\X.TXT\"; size=12\r\n"
        "content-disposition: ATTACHMENT; FILENAME=\"e:\\deep\\er\\Q.doc\"\n"
        "Content-Disposition: inline; filename=\"D:\\A\\B\\I.TXT\"\n"
        "Content-Type: Application/Octet-stream; name=D:\\TMP\\Y.ZIP\n"
        "Content-Type: text/plain; name=D:\\TMP\\T.TXT\n"
        "section 3 of 4 file D:\\DIR\\Z.DAT\n"
        "Content-Disposition: attachment; filename=\"NOCOLON\\X.TXT\"\n"
        "Content-Disposition: attachment; filename=\"D:X.TXT\"\n"
        "\n"
        "Content-Disposition: attachment; filename=\"D:\\BODY\\X.TXT\" in the body stays\n"
        "Section file C:/with/slashes.bin\n"
        "last line without end: filename=\"D:\\A\\X\"";
    const std::string after =
        "From: a@b.example\r\n"
        "Content-Disposition: attachment; filename=\"X.TXT\"; size=12\r\n"
        "content-disposition: ATTACHMENT; FILENAME=\"Q.doc\"\n"
        "Content-Disposition: inline; filename=\"D:\\A\\B\\I.TXT\"\n"
        "Content-Type: Application/Octet-stream; name=Y.ZIP\n"
        "Content-Type: text/plain; name=D:\\TMP\\T.TXT\n"
        "section 3 of 4 file Z.DAT\n"
        "Content-Disposition: attachment; filename=\"NOCOLON\\X.TXT\"\n"
        "Content-Disposition: attachment; filename=\"D:X.TXT\"\n"
        "\n"
        "Content-Disposition: attachment; filename=\"X.TXT\" in the body stays\n"
        "Section file slashes.bin\n"
        "last line without end: filename=\"D:\\A\\X\"";
    EXPECT_EQ(rewritten(before), after);
}

TEST(AttfixRun, BodyLinesThatDoNotStartWithAPrefixStay) {
    const std::string body = "See filename=\"D:\\A\\X.TXT\" and file D:\\DIR\\Z.DAT\n"
                             " Content-Type: Application/Octet-stream; name=D:\\T\\Y.ZIP\n";
    EXPECT_EQ(rewritten(body), body);
}

TEST(AttfixRun, LongLinesAreHandledInPiecesOf254) {
    // The first piece ends exactly at 254 bytes; the rest begins a piece of
    // its own, which here looks like a section line and is rewritten alone.
    std::string head = "Content-Disposition: attachment; filename=\"D:\\A\\X.TXT\" ";
    std::string first = head + std::string(254 - head.size(), 'p');
    std::string second = "section file D:\\Q\\R.DAT\n";
    // A header whose name starts past the first piece is not recognised.
    std::string late = "Content-Type: Application/Octet-stream; " + std::string(240, ' ') +
                       "name=D:\\TMP\\LATE.ZIP\n";
    // A line of exactly 254 bytes with its line feed makes a piece and a
    // lone line feed.
    std::string exact = "section file D:\\E\\" + std::string(254 - 18, 'e');
    std::string result = rewritten(first + second + late + exact + "\n");
    EXPECT_EQ(result, "Content-Disposition: attachment; filename=\"X.TXT\" " +
                          std::string(254 - head.size(), 'p') + "section file R.DAT\n" + late +
                          "section file " + std::string(254 - 18, 'e') + "\n");
}

TEST(AttfixRun, BinaryAndNulBytesComeThroughExactly) {
    std::string blob;
    for (int i = 0; i < 256; ++i) blob += static_cast<char>(i);
    std::string message = std::string("Content-Disposition: attachment;\0 filename=\"D:\\A\\X\"\0tail\n", 52) +
                          blob + blob + std::string(1000, '\0');
    std::string expected = std::string("Content-Disposition: attachment;\0 filename=\"X\"\0tail\n", 47) +
                           blob + blob + std::string(1000, '\0');
    EXPECT_EQ(rewritten(message), expected);
}

TEST(AttfixRun, EmptyFileStaysEmpty) { EXPECT_EQ(rewritten(""), ""); }

TEST(AttfixRun, TraceFileRecordsTheFirstTwoArguments) {
    TempDir dir;
    writeFile(dir / "test.out", std::string(500, 'o'));
    writeFile(dir / "m.msg", "keep\n");

    RunResult none = runIn(dir, {});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(readFile(dir / "test.out"), "input file: (null)  (null)\n");

    RunResult two = runIn(dir, {dir / "m.msg", "100%s%n"});
    EXPECT_EQ(two.status, 1);
    EXPECT_EQ(two.out, "");
    EXPECT_EQ(readFile(dir / "test.out"), "input file: " + (dir / "m.msg") + "  100%s%n\n");

    RunResult three = runIn(dir, {"a", "b", "c"});
    EXPECT_EQ(three.status, 1);
    EXPECT_EQ(readFile(dir / "test.out"), "input file: a  b\n");

    EXPECT_EQ(readFile(dir / "m.msg"), "keep\n");
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"m.msg", "test.out"}));
}

TEST(AttfixRun, PathWithoutDirectoryIsRefused) {
    TempDir dir;
    const std::string message = "Content-Disposition: attachment; filename=\"D:\\A\\X\"\n";
    writeFile(dir / "m.msg", message);
    RunResult r = runIn(dir, {"m.msg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Input file: m.msg\nNot a complete path\n");
    EXPECT_EQ(readFile(dir / "test.out"), "input file: m.msg  (null)\n");
    EXPECT_EQ(readFile(dir / "m.msg"), message);
    EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"m.msg", "test.out"}));
}

TEST(AttfixRun, MissingFileOrDirectoryCannotBeOpened) {
    TempDir dir;
    testing_support::makeDirectories(dir / "folder.fld");
    writeFile(dir / "folder.fld/1.msg", "inside\n");
    for (const std::string& name : {std::string("absent.msg"), std::string("folder.fld")}) {
        RunResult r = runIn(dir, {dir / name});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.out, announced(dir / name, dir / kTemporary) + "Fopen failed for : " + (dir / name) + "\n");
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"folder.fld", "test.out"}));
    }
    EXPECT_TRUE(isDirectory(dir / "folder.fld"));
    EXPECT_EQ(readFile(dir / "folder.fld/1.msg"), "inside\n");
}

TEST(AttfixRun, TemporaryFileThatCannotBeMadeLeavesTheInput) {
    TempDir dir;
    const std::string message = "Content-Disposition: attachment; filename=\"D:\\A\\X\"\n";
    writeFile(dir / "m.msg", message);
    testing_support::makeDirectories(dir / kTemporary);
    RunResult r = runIn(dir, {dir / "m.msg"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, announced(dir / "m.msg", dir / kTemporary) + "Fopen failed for new file: " +
                         (dir / kTemporary) + "\n");
    EXPECT_EQ(readFile(dir / "m.msg"), message);
}

TEST(AttfixRun, MessageNamedLikeTheTemporaryFileIsNotTruncated) {
    TempDir dir;
    const std::string message = "Content-Disposition: attachment; filename=\"D:\\A\\X\"\n";
    writeFile(dir / kTemporary, message);
    RunResult r = runIn(dir, {dir / kTemporary});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, announced(dir / kTemporary, dir / kTemporary) + "Fopen failed for new file: " +
                         (dir / kTemporary) + "\n");
    EXPECT_EQ(readFile(dir / kTemporary), message);
}

TEST(AttfixRun, FailedStepsLeaveTheMessageAsItWas) {
    const std::string message = "Content-Disposition: attachment; filename=\"D:\\A\\X\"\nbody\n";
    struct Case {
        const char* step;
        std::string line;  // after the two announcing lines; {temp} and {input} filled in
    };
    const Case cases[] = {
        {"rename", "Rename failed for new file: {temp} (Input/output error); {input} is left unchanged\n"},
        {"write", "Write failed for new file: {temp} (Input/output error); {input} is left unchanged\n"},
        {"read", "Read failed for : {input} (Input/output error); the file is left unchanged\n"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeFile(dir / "m.msg", message);
        RunResult r = runIn(dir, {dir / "m.msg"}, {std::string("ATTFIX_TEST_FAIL=") + c.step});
        std::string line = c.line;
        for (std::string::size_type at; (at = line.find("{temp}")) != std::string::npos;)
            line.replace(at, 6, dir / kTemporary);
        for (std::string::size_type at; (at = line.find("{input}")) != std::string::npos;)
            line.replace(at, 7, dir / "m.msg");
        EXPECT_EQ(r.status, 3) << c.step;
        EXPECT_EQ(r.out, announced(dir / "m.msg", dir / kTemporary) + line) << c.step;
        EXPECT_EQ(readFile(dir / "m.msg"), message) << c.step;
        EXPECT_EQ(listDirectory(dir.path()), (std::vector<std::string>{"m.msg", "test.out"})) << c.step;
    }
}

TEST(AttfixRun, BackslashPathWithDriveIsUnderstood) {
    TempDir dir;
    writeFile(dir / "a.act/in.fld/7.msg", "section file D:\\DIR\\Z.DAT\n");
#ifdef _WIN32  // the drive is real, and the directory already on it
    std::string windows = dir / "a.act/in.fld/7.msg";
#else
    std::string windows = "C:" + (dir / "a.act/in.fld/7.msg");
#endif
    for (char& ch : windows)
        if (ch == '/') ch = '\\';
    std::string temporary = windows.substr(0, windows.rfind('\\') + 1) + kTemporary;
    RunResult r = runIn(dir, {windows});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, announced(windows, temporary));
    EXPECT_EQ(readFile(dir / "a.act/in.fld/7.msg"), "section file Z.DAT\n");
    EXPECT_EQ(listDirectory(dir / "a.act/in.fld"), std::vector<std::string>{"7.msg"});
}

TEST(AttfixRun, PercentInPathPrintsAsItStands) {
    TempDir dir;
    writeFile(dir / "100%s%d.msg", "x\n");
    RunResult r = runIn(dir, {dir / "100%s%d.msg"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, announced(dir / "100%s%d.msg", dir / kTemporary));
}

#ifndef _WIN32  // POSIX permission bits
TEST(AttfixRun, RewrittenMessageKeepsItsPermissions) {
    TempDir dir;
    writeFile(dir / "m.msg", "section file D:\\DIR\\Z.DAT\n");
    ASSERT_EQ(chmod((dir / "m.msg").c_str(), 0666), 0);
    ASSERT_EQ(runIn(dir, {dir / "m.msg"}).status, 0);
    struct stat st {};
    ASSERT_EQ(stat((dir / "m.msg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(readFile(dir / "m.msg"), "section file Z.DAT\n");
}
#endif

}  // namespace
