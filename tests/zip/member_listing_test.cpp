// The archive listing (unzip -v) read into names, sizes and CRC-32s, and
// the patterns by which the archive test names a directory's members.
#include "platform.h"
#include "test_support.h"
#include "zip.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <string>
#include <vector>

namespace ts = testing_support;

namespace {

const std::string head =
    "Archive:  a.zip\n"
    " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
    "--------  ------  ------- ---- ---------- ----- --------  ----\n";

std::vector<ArchiveMember> parsed(const std::string& text, bool expected = true) {
    std::vector<ArchiveMember> members{ArchiveMember{"left over", 1, 1, 1}};
    EXPECT_EQ(parseMemberListing(text, members), expected) << text;
    if (!expected) {
        EXPECT_TRUE(members.empty());
    }
    return members;
}

TEST(MemberListing, FieldsOfEachLineAndNamesAsStored) {
    auto m = parsed(head +
                    "    1024  Defl:X      589  43% 2026-12-08 12:08 23e4b852  club4.act/acct.ini\n"
                    "123456789012  Defl:N 98765432101  -2% 2026-12-08 12:08 DEADBEEF  a b.act/caf\xE9 1.msg\n"
                    "       0  Stored        0   0% 2026-12-08 12:08 00000000    two blanks first.msg\n"
                    "--------          -------  ---                            -------\n"
                    "123456790036      98765432690   0%                            3 files\n");
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].name, "club4.act/acct.ini");
    EXPECT_EQ(m[0].size, 1024);
    EXPECT_EQ(m[0].compressedSize, 589);
    EXPECT_EQ(m[0].crc, 0x23e4b852u);
    // Wide numbers push the columns right; blanks and 8-bit bytes stay.
    EXPECT_EQ(m[1].name, "a b.act/caf\xE9 1.msg");
    EXPECT_EQ(m[1].size, 123456789012);
    EXPECT_EQ(m[1].compressedSize, 98765432101);
    EXPECT_EQ(m[1].crc, 0xdeadbeefu);
    EXPECT_EQ(m[2].name, "  two blanks first.msg");
}

TEST(MemberListing, ACommentBeforeTheTableIsNoMember) {
    const std::string fake = " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
                             "--------  ------  ------- ---- ---------- ----- --------  ----\n"
                             "       5  Stored        5   0% 2026-12-08 12:08 11111111  work.act/x.fld/9.msg\n"
                             "--------          -------  ---                            -------\n"
                             "       5                5   0%                            1 file\n";
    auto m = parsed("Archive:  a.zip\n" + fake + "\n" + head.substr(head.find('\n') + 1) +
                    "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7a  real.msg\n"
                    "--------          -------  ---                            -------\n"
                    "       3                3   0%                            1 file\n");
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].name, "real.msg");
}

TEST(MemberListing, AnythingButAWholeTableIsRefused) {
    const std::string line = "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7a  a.msg\n";
    const std::string foot = "--------          -------  ---                            -------\n"
                             "       3                3   0%                            1 file\n";
    parsed(head + line + foot);
    parsed("", false);
    parsed(head + line, false);                                  // cut off before the foot
    parsed(head + line + line + foot, false);                    // the foot counts one, two are above
    parsed(head + "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7  a.msg\n" + foot, false);  // short CRC
    parsed(head + "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7g  a.msg\n" + foot, false);  // not hex
    parsed(head + "      3x  Stored        3   0% 2026-12-08 12:08 ed6f7a7a  a.msg\n" + foot, false);  // size
    parsed(head + "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7a \n" + foot, false);       // no name
    parsed(head + "       3  Stored        3   0% 2026-12-08 12:08 ed6f7a7a a.msg\n" + foot, false);  // one blank
    parsed(head + "       3  Stored        3   0 2026-12-08 12:08 ed6f7a7a  a.msg\n" + foot, false);   // ratio
    parsed(head + "99999999999999999999  Stored  3   0% 2026-12-08 12:08 ed6f7a7a  a.msg\n" + foot, false);
}

// ---- with the real zip and unzip ------------------------------------------

class RealArchive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ts::findProgram("zip").empty());
        ASSERT_FALSE(ts::findProgram("unzip").empty());
    }
    // Zips `files` (path -> bytes) from the temporary directory into a.zip.
    void zip(const std::vector<std::pair<std::string, std::string>>& files) {
        std::string list;
        for (const auto& [path, bytes] : files) {
            ts::writeFile(dir / path, bytes);
            list += path + "\n";
        }
        ts::RunOptions o;
        o.workDir = dir.path();
        o.input = list;
        ASSERT_EQ(ts::run(ts::findProgram("zip"), {"-q", "-9", "-@", "a.zip"}, o).status, 0);
    }
    std::string archive() const { return dir / "a.zip"; }
    ts::TempDir dir;
};

TEST_F(RealArchive, ListingGivesNameSizeAndCrcOfEveryMember) {
#ifdef _WIN32
    // "*" and "?" cannot stand in a Windows name, and zip.exe takes "[1]" as a wildcard.
    const std::string odd = "a b.act/x 1.fld/caf\xE9 1.msg";
#else
    const std::string odd = "a b.act/x[1]*?.fld/caf\xE9 1.msg";
#endif
    zip({{"a.act/i.fld/1.msg", "hello\n"}, {odd, std::string(5000, 'z')}});
    std::vector<ArchiveMember> m;
    ASSERT_TRUE(listArchiveContents(archive().c_str(), m));
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].name, "a.act/i.fld/1.msg");
    EXPECT_EQ(m[0].size, 6);
    EXPECT_EQ(m[0].crc, 0x363a3020u);  // CRC-32 of "hello\n"
    EXPECT_EQ(m[1].name, odd);
    EXPECT_EQ(m[1].size, 5000);
    EXPECT_LT(m[1].compressedSize, 100);

    EXPECT_FALSE(listArchiveContents((dir / "missing.zip").c_str(), m));
    EXPECT_TRUE(m.empty());
}

#ifndef _WIN32  // names with "*" and "?", and unzip's -W, are Unix's
TEST_F(RealArchive, APatternNamesExactlyTheMembersOfItsDirectory) {
    // "*", "?" and "[" in a directory name are taken literally, and "*"
    // does not reach into the directories below.
    zip({{"x[1]*?.fld/a.msg", "a"}, {"x1ab.fld/b.msg", "b"}, {"x[1]*?.fld/sub.fld/c.msg", "c"}, {"top.msg", "t"}});
    EXPECT_EQ(directoryPattern("x[1]*?.fld"), "x[[]1][*][?].fld/*");
    EXPECT_EQ(directoryPattern(""), "*");
    EXPECT_EQ(testArchiveMembers(archive().c_str(), {directoryPattern("x[1]*?.fld")}), 0);
    EXPECT_EQ(testArchiveMembers(archive().c_str(), {directoryPattern(""), directoryPattern("x1ab.fld")}), 0);
    // A pattern that names nothing is a failed test, not a passed one.
    EXPECT_NE(testArchiveMembers(archive().c_str(), {directoryPattern("x1?b.fld")}), 0);
    EXPECT_NE(testArchiveMembers(archive().c_str(), {directoryPattern("x[1]*?.fld/sub.fld/c.msg")}), 0);
}

#endif

TEST_F(RealArchive, ADamagedMemberFailsTheTest) {
    std::string body;
    unsigned state = 7;
    for (int i = 0; i < 4000; ++i) body += static_cast<char>('a' + (state = state * 1103515245u + 12345u) % 26);
    zip({{"a.fld/1.msg", body}, {"b.fld/2.msg", body}});
    EXPECT_EQ(testArchiveMembers(archive().c_str(), {"a.fld/*", "b.fld/*"}), 0);
    std::string bytes = ts::readFile(archive());
    // Past the first local header (30 bytes, the name, an extra field of
    // at most 28 bytes): inside the compressed data of a.fld/1.msg.
    const std::size_t at = bytes.find("a.fld/1.msg") + 11 + 28 + 200;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x55);
    ts::writeFile(archive(), bytes);
    EXPECT_NE(testArchiveMembers(archive().c_str(), {"a.fld/*"}), 0);
    EXPECT_EQ(testArchiveMembers(archive().c_str(), {"b.fld/*"}), 0);
}

}  // namespace

#ifndef _WIN32  // signal masks are POSIX's; on Windows the console's Ctrl+C reaches every program
namespace {

// The archive is tested from threads that block every signal; the unzip
// they start must not inherit that, or an interrupt from the terminal
// would leave it running.
TEST(ArchiveTestProgram, StartedFromAQuietThreadItTakesSignals) {
    ts::TempDir dir;
    ts::makeDirectories(dir / "bin");
    ASSERT_EQ(symlink(SIGNAL_REPORT_BIN, (dir / "bin/unzip").c_str()), 0);
    setenv("SIGNAL_REPORT", (dir / "signals").c_str(), 1);
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", (dir / "bin" + ":" + saved).c_str(), 1);
    int status = -1;
    std::thread quiet;
    ASSERT_TRUE(platform::startQuietThread(quiet, [&] { status = testArchiveMembers("a.zip", {"*"}); }));
    quiet.join();
    setenv("PATH", saved.c_str(), 1);
    unsetenv("SIGNAL_REPORT");
    EXPECT_EQ(status, 0);
    const std::string signals = ts::readFile(dir / "signals");
    EXPECT_NE(signals.find("SigBlk:\t0000000000000000\n"), std::string::npos) << signals;
    // SIGINT (2) and SIGQUIT (3) are not ignored either: bits 0x2 and 0x4.
    const std::size_t ignored = signals.find("SigIgn:\t");
    ASSERT_NE(ignored, std::string::npos) << signals;
    const unsigned long mask = std::stoul(signals.substr(ignored + 8, 16), nullptr, 16);
    EXPECT_EQ(mask & 0x6ul, 0ul) << signals;
}

}  // namespace
#endif
