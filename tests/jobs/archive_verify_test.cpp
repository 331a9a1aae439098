// The archive job with delete takes a message out of the store only when
// the archive, tested whole, holds exactly the bytes the message has: the
// built archiver with the real zip and unzip, and stand-ins that change a
// message, store other bytes or damage the archive between zip and the
// deletion.
#include "test_support.h"

#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace ts = testing_support;

namespace {

using Names = std::vector<std::string>;

// Bytes that deflate does not shrink much, so that a byte flipped at a
// small distance past a member's local header is inside its data.
std::string mixedBody(unsigned seed) {
    std::string body;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        body += static_cast<char>('a' + (seed >> 16) % 26);
        if (i % 70 == 69) body += '\n';
    }
    return body + "\n";
}

std::string indexLineFor(const std::string& file, const std::string& subject) {
    return ts::indexLine({"3", "3", "1998-07-14", "11:39:10", subject, "bob@x", "bob@x", "ann@x", "ann@x", "1K", file});
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class ArchiveVerifyTest : public ::testing::Test {
protected:
    ArchiveVerifyTest() : main_(temp_ / "velmor"), store_(main_) {}

    void SetUp() override {
        realZip_ = ts::findProgram("zip");
        realUnzip_ = ts::findProgram("unzip");
        ASSERT_FALSE(realZip_.empty());
        ASSERT_FALSE(realUnzip_.empty());
        store_.account("work.act", "Work").folder("work.act/in box.fld", "In box");
        store_.account("home.act", "Home").folder("home.act/family.fld", "Family");
        for (const std::string& m : messages) message(m);
        inboxIndex = indexLineFor("1.msg", "One") + indexLineFor("caf\xE9 2.msg", "Two");
        store_.file("work.act/in box.fld/folder.bag", inboxIndex);
        familyIndex = indexLineFor("3.msg", "Three");
        store_.file("home.act/family.fld/folder.bag", familyIndex);
        ts::makeDirectories(bin());
    }

    void message(const std::string& path) {
        store_.message(path, {"Date: Tue, 14 Jul 1998 11:39:10 +0000", "From: ann@x", "To: bob@x", "Subject: s"},
                       mixedBody(static_cast<unsigned>(path.size())));
        ts::setModifyTime(at(path), std::time(nullptr) - 400 * 86400);
    }

    std::string at(const std::string& relative) const { return main_ + "/" + relative; }
    std::string bin() const { return temp_ / "bin"; }
    std::string archive() const { return at("ARCHIV00.zip"); }

    // A stand-in for zip or unzip first on PATH; `real` names the real one.
    void standIn(const std::string& name, const std::string& body) {
        ts::writeScript(bin(), name,
                        "real='" + (name == "zip" ? realZip_ : realUnzip_) + "'\n" +
                            "if [ \"$1\" = -h ]; then exec \"$real\" -h; fi\n" + body);
    }

    // An unzip that, in the first of the archive's test runs, waits a second
    // and then runs `commands` in the store, while the archive is tested.
    void duringTheTest(const std::string& commands) {
        standIn("unzip", "if [ \"$1\" = -tqq ] && mkdir '" + bin() + "/once' 2>/dev/null; then\n"
                         "  sleep 1\n" + commands + "fi\nexec \"$real\" \"$@\"\n");
    }

    ts::RunResult archiveAndDelete() {
        ts::RunOptions o;
        o.workDir = main_;
        o.pathPrefix = bin();
        return ts::run(ARCHIVER_BIN, {"/N"}, o);
    }

    void expectDeleted(const std::string& path) {
        EXPECT_FALSE(ts::exists(at(path))) << path;
        EXPECT_EQ(ts::zipMember(archive(), path), mixedBodyMessage(path)) << path;
    }
    std::string mixedBodyMessage(const std::string& path) const { return originals.at(path); }

    void rememberOriginals() {
        for (const std::string& m : messages) originals[m] = ts::readFile(at(m));
    }

    const Names messages = {"work.act/in box.fld/1.msg", "work.act/in box.fld/caf\xE9 2.msg",
                            "home.act/family.fld/3.msg"};
    std::map<std::string, std::string> originals;
    std::string inboxIndex, familyIndex;

private:
    ts::TempDir temp_;
    std::string main_;
    ts::StoreBuilder store_;
    std::string realZip_, realUnzip_;
};

TEST_F(ArchiveVerifyTest, NamesWithBlanksAndEightBitBytesAreProvenAndDeleted) {
    rememberOriginals();
    auto r = archiveAndDelete();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.err, "");
    for (const std::string& m : messages) expectDeleted(m);
    EXPECT_EQ(ts::readFile(at("work.act/in box.fld/folder.bag")), "");
}

TEST_F(ArchiveVerifyTest, MessageChangedAfterZipReadItStaysWithItsLine) {
    rememberOriginals();
    // zip archives the message as it was; then one byte of it changes.
    standIn("zip", "\"$real\" \"$@\" || exit $?\n"
                   "f='work.act/in box.fld/1.msg'\n"
                   "sed 's/^Subject: s$/Subject: t/' \"$f\" > \"$f.new\" && cat \"$f.new\" > \"$f\" && rm \"$f.new\"\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4122]: Changed since it was archived, so not deleted: ./work.act/in box.fld/1.msg\n");
    ASSERT_TRUE(ts::exists(at("work.act/in box.fld/1.msg")));
    EXPECT_NE(ts::readFile(at("work.act/in box.fld/1.msg")), originals.at("work.act/in box.fld/1.msg"));
    EXPECT_EQ(ts::readFile(at("work.act/in box.fld/folder.bag")), indexLineFor("1.msg", "One"));
    expectDeleted("work.act/in box.fld/caf\xE9 2.msg");
    expectDeleted("home.act/family.fld/3.msg");
}

TEST_F(ArchiveVerifyTest, MemberWithOtherBytesThanTheUnchangedMessageIsDamaged) {
    rememberOriginals();
    // zip stores other bytes under the message's name; the message on disk
    // is back as it was, time and all, before the archive is checked.
    standIn("zip", "f='home.act/family.fld/3.msg'\n"
                   "cp -p \"$f\" \"$f.keep\" && printf 'other bytes\\n' >> \"$f\"\n"
                   "\"$real\" \"$@\"; s=$?\n"
                   "mv \"$f.keep\" \"$f\"\nexit $s\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4123]: Damaged in the archive, so not deleted: ./home.act/family.fld/3.msg\n");
    EXPECT_EQ(ts::readFile(at("home.act/family.fld/3.msg")), originals.at("home.act/family.fld/3.msg"));
    EXPECT_EQ(ts::readFile(at("home.act/family.fld/folder.bag")), familyIndex);
    expectDeleted("work.act/in box.fld/1.msg");
}

TEST_F(ArchiveVerifyTest, DamagedMemberDataMeansNothingIsDeleted) {
    const ino_t inboxBefore = inodeOf(at("work.act/in box.fld/folder.bag"));
    // After the real zip, one byte inside the compressed data of the last
    // message is flipped; the listing still reads, the test fails.
    standIn("zip", "for a; do last=\"$a\"; done\n\"$real\" \"$@\" || exit $?\n"
                   "at=$(grep -obUaF 'work.act/in box.fld/1.msg' \"$last\" | head -n 1 | cut -d: -f1)\n"
                   "at=$((at + 25 + 28 + 300))\n"
                   "b=$(dd if=\"$last\" bs=1 skip=$at count=1 2>/dev/null | od -An -tu1 | tr -d ' ')\n"
                   "printf \"\\\\$(printf %o $(( (b + 1) % 256 )))\" | "
                   "dd of=\"$last\" bs=1 seek=$at conv=notrunc 2>/dev/null\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("[4125]: The archive "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("ARCHIV00.zip failed its test: no message is deleted, the indexes stay as they were\n"),
              std::string::npos)
        << r.err;
    // The damage is real: unzip's own test of the archive fails.
    EXPECT_NE(ts::run(ts::findProgram("unzip"), {"-tqq", archive()}).status, 0);
    for (const std::string& m : messages) EXPECT_TRUE(ts::exists(at(m))) << m;
    EXPECT_EQ(ts::readFile(at("work.act/in box.fld/folder.bag")), inboxIndex);
    EXPECT_EQ(inodeOf(at("work.act/in box.fld/folder.bag")), inboxBefore);
    EXPECT_EQ(ts::readFile(at("home.act/family.fld/folder.bag")), familyIndex);
}

TEST_F(ArchiveVerifyTest, MessageChangedWhileTheArchiveIsTestedIsNotDeleted) {
    // The messages are judged at once; the test then takes a while, and a
    // message changes meanwhile: the check just before its deletion sees it.
    duringTheTest("  printf 'late\\n' >> 'home.act/family.fld/3.msg'\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4122]: Changed since it was archived, so not deleted: ./home.act/family.fld/3.msg\n");
    EXPECT_TRUE(ts::exists(at("home.act/family.fld/3.msg")));
    EXPECT_FALSE(ts::exists(at("work.act/in box.fld/1.msg")));
}

TEST_F(ArchiveVerifyTest, MessageWrittenJustNowIsReadAgainAndDeleted) {
    // Modified in the second the run starts: its time cannot tell a later
    // change, so its bytes are compared once more before it goes.
    ts::writeFile(at("home.act/family.fld/3.msg"), "Subject: new\n\nfresh\n");
    const std::string fresh = ts::readFile(at("home.act/family.fld/3.msg"));
    auto r = archiveAndDelete();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(ts::exists(at("home.act/family.fld/3.msg")));
    EXPECT_EQ(ts::zipMember(archive(), "home.act/family.fld/3.msg"), fresh);
}

TEST_F(ArchiveVerifyTest, MessageRewrittenWithinTheSameSecondIsCaught) {
    // Written just now, then rewritten with the same size while the archive
    // is tested, its time set back to the first write's: only its bytes
    // tell the change.
    ts::writeFile(at("home.act/family.fld/3.msg"), "Subject: new\n\nfresh\n");
    // The archive is tested in two shares at once: one of them does it.
    duringTheTest("  f='home.act/family.fld/3.msg'\n"
                  "  cp -p \"$f\" \"$f.time\" && printf 'Subject: new\\n\\nFRESH\\n' > \"$f\"\n"
                  "  touch -r \"$f.time\" \"$f\" && rm \"$f.time\"\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4122]: Changed since it was archived, so not deleted: ./home.act/family.fld/3.msg\n");
    EXPECT_EQ(ts::readFile(at("home.act/family.fld/3.msg")), "Subject: new\n\nFRESH\n");
}

TEST_F(ArchiveVerifyTest, ArchiveThatCannotBeListedEndsTheRunCleanly) {
    // Enough messages that their CRC-32s are still being taken when zip (a
    // stand-in that writes nothing) is done and the listing fails: the run
    // must stop that reading before it ends and frees what it reads (the
    // sanitizer build reports the read otherwise).
    Names many;
    for (int i = 0; i < 3000; ++i) many.push_back("work.act/in box.fld/m" + std::to_string(i) + ".msg");
    for (const std::string& m : many) message(m);
    standIn("zip", "cat > /dev/null\nexit 0\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("[4121]: Cannot list the archive "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
    for (const std::string& m : many) ASSERT_TRUE(ts::exists(at(m))) << m;
    EXPECT_EQ(ts::readFile(at("work.act/in box.fld/folder.bag")), inboxIndex);
}

TEST_F(ArchiveVerifyTest, ManyMessagesAreDeletedOnThreadsAndTheKeptOnesNamedInOrder) {
    // Enough messages for the deletion to run on several threads: one left
    // out of the archive, two changed while the archive is tested. The
    // changed ones stay, and the warnings come in the store's order (by name
    // within a folder).
    Names many;
    for (int i = 0; i < 300; ++i) {
        many.push_back("work.act/in box.fld/n" + std::to_string(i) + ".msg");
        many.push_back("home.act/family.fld/n" + std::to_string(i) + ".msg");
    }
    for (const std::string& m : many) message(m);
    standIn("zip", "for a; do last=\"$a\"; done\n\"$real\" \"$@\" || exit $?\n"
                   "\"$real\" -q -d \"$last\" 'home.act/family.fld/n50.msg' > /dev/null\n");
    duringTheTest("  printf 'late\\n' >> 'work.act/in box.fld/n100.msg'\n"
                  "  printf 'late\\n' >> 'home.act/family.fld/n200.msg'\n");
    auto r = archiveAndDelete();
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.err, "[4122]: Changed since it was archived, so not deleted: ./home.act/family.fld/n200.msg\n"
                     "[4120]: Not in the archive, so not deleted: ./home.act/family.fld/n50.msg\n"
                     "[4122]: Changed since it was archived, so not deleted: ./work.act/in box.fld/n100.msg\n");
    for (const std::string& m : many) {
        const bool kept = m == "home.act/family.fld/n50.msg" || m == "home.act/family.fld/n200.msg" ||
                          m == "work.act/in box.fld/n100.msg";
        EXPECT_EQ(ts::exists(at(m)), kept) << m;
    }
    for (const std::string& m : messages) EXPECT_FALSE(ts::exists(at(m))) << m;
}

TEST_F(ArchiveVerifyTest, WithoutDeleteNothingIsListedOrTested) {
    standIn("unzip", "echo \"$@\" >> '" + bin() + "/calls'\nexec \"$real\" \"$@\"\n");
    ts::RunOptions o;
    o.workDir = at("");
    o.pathPrefix = bin();
    auto r = ts::run(ARCHIVER_BIN, {}, o);
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(ts::exists(bin() + "/calls"));
    EXPECT_EQ(ts::zipMembers(archive()).size(), 8u);

    r = archiveAndDelete();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // With delete: one listing, then the test, never a member's extraction.
    const std::string calls = ts::readFile(bin() + "/calls");
    EXPECT_EQ(calls.rfind("-v ", 0), 0u) << calls;
    EXPECT_NE(calls.find("\n-tqq -W "), std::string::npos) << calls;
    // An extraction has the word -o (a temporary directory's name may hold "-o").
    const std::string words = " " + calls;
    EXPECT_EQ(words.find(" -o "), std::string::npos) << calls;
    EXPECT_EQ(words.find("\n-o "), std::string::npos) << calls;
}

}  // namespace
