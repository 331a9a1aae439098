// Archives and stores made to do harm: paths in backup.bag and member
// names that lead out of the store, symbolic links out of the store and
// back into it, very long names, very deep and very wide folders.
#include "fault_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace faults;
namespace ts = testing_support;

namespace {

// A zip archive of stored (uncompressed) members, with the names exactly
// as given: the real zip would clean them up.
void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
    auto crc32 = [](const std::string& bytes) {
        std::uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char c : bytes) {
            crc ^= c;
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    std::string out, central;
    auto put16 = [](std::string& s, unsigned v) { s += char(v & 0xFF); s += char((v >> 8) & 0xFF); };
    auto put32 = [&](std::string& s, std::uint32_t v) { put16(s, v & 0xFFFF); put16(s, v >> 16); };
    for (const auto& [name, bytes] : members) {
        const std::uint32_t offset = static_cast<std::uint32_t>(out.size()), crc = crc32(bytes);
        const auto size = static_cast<std::uint32_t>(bytes.size());
        put32(out, 0x04034b50); put16(out, 20); put16(out, 0); put16(out, 0); put16(out, 0); put16(out, 0x21);
        put32(out, crc); put32(out, size); put32(out, size);
        put16(out, static_cast<unsigned>(name.size())); put16(out, 0);
        out += name + bytes;
        put32(central, 0x02014b50); put16(central, 20); put16(central, 20); put16(central, 0); put16(central, 0);
        put16(central, 0); put16(central, 0x21); put32(central, crc); put32(central, size); put32(central, size);
        put16(central, static_cast<unsigned>(name.size())); put16(central, 0); put16(central, 0); put16(central, 0);
        put16(central, 0); put32(central, 0); put32(central, offset);
        central += name;
    }
    const auto centralOffset = static_cast<std::uint32_t>(out.size());
    out += central;
    put32(out, 0x06054b50); put16(out, 0); put16(out, 0);
    put16(out, static_cast<unsigned>(members.size())); put16(out, static_cast<unsigned>(members.size()));
    put32(out, static_cast<std::uint32_t>(central.size())); put32(out, centralOffset); put16(out, 0);
    ts::writeFile(path, out);
}

std::string line(const std::string& file, const std::string& subject = "s") {
    return ts::indexLine({"1", "1", "1998-07-14", "11:39:10", subject, "b@x", "b@x", "a@x", "a@x", "1K", file});
}

const char* const headers = "Date: Tue, 14 Jul 1998 11:39:10 +0000\nFrom: a@x\nTo: b@x\nSubject: s\n\nbody\n";

class Hostile : public ::testing::Test {
protected:
    Hostile() : store(tmp / "velmor") {}
    std::string main() const { return tmp / "velmor"; }
    RunResult archiver(const std::vector<std::string>& args, int timeoutSeconds = 60) {
        RunOptions options = jobRun();
        options.timeoutSeconds = timeoutSeconds;
        return testing_support::runArchiver(main(), args, options);
    }
    void oldMessage(const std::string& path) {
        ts::writeFile(path, headers);
        ts::setModifyTime(path, std::time(nullptr) - 400 * 86400);
    }
    ts::TempDir tmp;
    ts::StoreBuilder store;
};

TEST_F(Hostile, ArchiveWithPathsOutOfTheStoreRestoresNothingThere) {
    store.account("a.act", "A").folder("a.act/in.fld", "In");
    const std::vector<std::string> hostile = {
        "./a.act/in.fld/../../../escape1.msg", "../escape.act/in.fld/2.msg", "/tmp/abs.act/in.fld/3.msg",
        "D:\\abs.act\\in.fld\\4.msg",       "./a.act/..\\..\\escape5.msg",  "./a.act/in.fld/ok.msg"};
    std::string bag;
    for (const auto& h : hostile) bag += line(h);
    // Members under the same hostile names, and some that only the archive
    // knows, with absolute and climbing names.
    std::vector<std::pair<std::string, std::string>> members = {{"backup.bag", bag}};
    for (const auto& h : hostile) members.push_back({h.substr(h.compare(0, 2, "./") == 0 ? 2 : 0), headers});
    members.push_back({"a.act/in.fld/folder.ini", "In\xDE\n"});
    members.push_back({"../../escape-member.msg", headers});
    members.push_back({"/tmp/escape-absolute.msg", headers});
    writeZip(main() + "/evil.zip", members);
    ts::makeDirectories(tmp / "outside");
    const Files outsideBefore = ts::snapshot(tmp.path());

    for (const char* o : {"", "/o"}) {
        std::vector<std::string> args = {"/r"};
        if (*o) args.push_back(o);
        args.push_back("evil.zip");
        RunResult run = archiver(args);
        EXPECT_TRUE(run.status == 0 || run.status == 1) << run.status << run.err;
        for (const auto& h : hostile) {
            if (h.find("ok.msg") == std::string::npos) {
                EXPECT_NE(run.out.find("Not restoring "), std::string::npos) << h << run.out;
            }
        }
        // Nothing appeared outside the main directory, and inside only the
        // one sound entry came back.
        Files now = ts::snapshot(tmp.path());
        for (const auto& [p, bytes] : now) {
            if (p.compare(0, 7, "velmor/") != 0) {
                EXPECT_TRUE(outsideBefore.count(p)) << "written outside: " << p;
            }
        }
        EXPECT_FALSE(ts::exists("/tmp/abs.act")) << "absolute path followed";
        EXPECT_FALSE(ts::exists("/tmp/escape-absolute.msg"));
        EXPECT_FALSE(ts::exists(tmp / "escape1.msg"));
        for (const auto& [p, bytes] : now)
            if (p.compare(0, 7, "velmor/") == 0 && p.find("escape") != std::string::npos) ADD_FAILURE() << p;
    }
    EXPECT_TRUE(ts::exists(main() + "/a.act/restore.fld/in.fld/ok.msg"));
    EXPECT_TRUE(ts::exists(main() + "/a.act/in.fld/ok.msg"));
}

// A folder that is a link to a directory outside the store: its messages
// are not the store's, so they are neither archived nor deleted, and no
// index is written there.
TEST_F(Hostile, LinkedDirectoryOutOfTheStoreIsNotFollowed) {
    store.account("a.act", "A").folder("a.act/in.fld", "In");
    oldMessage(main() + "/a.act/in.fld/1.msg");
    const std::string outside = tmp / "elsewhere/x.fld";
    ts::writeFile(outside + "/folder.ini", "Elsewhere\xDE\n");
    ts::writeFile(outside + "/folder.bag", line("9.msg"));
    oldMessage(outside + "/9.msg");
    ASSERT_EQ(symlink(outside.c_str(), (main() + "/a.act/in.fld/linked.fld").c_str()), 0);
    ASSERT_EQ(symlink((tmp / "elsewhere").c_str(), (main() + "/linked.act").c_str()), 0);
    const Files outsideBefore = ts::snapshot(tmp / "elsewhere");

    RunResult run = archiver({"/A", "30", "/N"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const auto& m : ts::zipMembers(main() + "/ARCHIV00.zip"))
        EXPECT_EQ(m.find("linked"), std::string::npos) << "archived through a link: " << m;
    EXPECT_FALSE(ts::exists(main() + "/a.act/in.fld/1.msg"));
    run = archiver({"/I"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ts::snapshot(tmp / "elsewhere"), outsideBefore);
}

// A message file that is a link: the archive holds its content; deleting
// it removes the link, never the file it points to.
TEST_F(Hostile, LinkedMessageIsNeverDeletedThrough) {
    store.account("a.act", "A").folder("a.act/in.fld", "In");
    const std::string target = tmp / "elsewhere/target.msg";
    oldMessage(target);
    ASSERT_EQ(symlink(target.c_str(), (main() + "/a.act/in.fld/2.msg").c_str()), 0);
    oldMessage(main() + "/a.act/in.fld/1.msg");
    RunResult run = archiver({"/A", "30", "/N"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ts::readFile(target), headers);
}

// A link back up the tree makes a loop; the scan must end, and every
// message is archived once.
TEST_F(Hostile, DirectoryLoopEnds) {
    store.account("a.act", "A").folder("a.act/in.fld", "In");
    oldMessage(main() + "/a.act/in.fld/1.msg");
    ASSERT_EQ(symlink("..", (main() + "/a.act/in.fld/up.fld").c_str()), 0);
    ASSERT_EQ(symlink(".", (main() + "/a.act/in.fld/self.fld").c_str()), 0);
    ASSERT_EQ(symlink(main().c_str(), (main() + "/a.act/main.fld").c_str()), 0);
    RunResult run = archiver({"/A", "30", "/N"}, 30);
    ASSERT_EQ(run.status, 0) << run.out << run.err.substr(0, 2000);
    std::vector<std::string> messages;
    for (const auto& m : ts::zipMembers(main() + "/ARCHIV00.zip"))
        if (m.size() > 4 && m.compare(m.size() - 4, 4, ".msg") == 0) messages.push_back(m);
    EXPECT_EQ(messages, std::vector<std::string>{"a.act/in.fld/1.msg"});
    run = archiver({"/I"}, 30);
    EXPECT_EQ(run.status, 0) << run.err.substr(0, 2000);
}

// Names at the file system's limit of 255 bytes, in a folder whose own name
// is that long, and an index line naming a file longer than any can be.
TEST_F(Hostile, NamesOf255AndMoreCharacters) {
    const std::string folder = "a.act/" + std::string(251, 'f') + ".fld";
    const std::string name = std::string(251, 'm') + ".msg";
    store.account("a.act", "A").folder(folder, "Long");
    oldMessage(main() + "/" + folder + "/" + name);
    oldMessage(main() + "/" + folder + "/1.msg");
    store.file(folder + "/folder.bag", line(name) + line(std::string(300, 'n') + ".msg") + line("1.msg"));

    RunResult run = archiver({"/I"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ts::readFile(main() + "/" + folder + "/folder.bag"), line(name) + line("1.msg"));
    run = archiver({"/A", "30", "/N"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const auto members = ts::zipMembers(main() + "/ARCHIV00.zip");
    EXPECT_NE(std::find(members.begin(), members.end(), folder + "/" + name), members.end());
    EXPECT_FALSE(ts::exists(main() + "/" + folder + "/" + name));
    EXPECT_EQ(ts::readFile(main() + "/" + folder + "/folder.bag"), "");

    run = archiver({"/r", "/o", "ARCHIV00.zip"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(ts::readFile(main() + "/" + folder + "/" + name), headers);
}

// 50 folders one inside the other, a message in each: all archived and
// deleted, every index rewritten.
TEST_F(Hostile, FoldersFiftyDeep) {
    store.account("a.act", "A");
    std::string dir = "a.act";
    for (int level = 0; level < 50; ++level) {
        dir += "/d" + std::to_string(level) + ".fld";
        store.folder(dir, "Level " + std::to_string(level));
        oldMessage(main() + "/" + dir + "/" + std::to_string(level) + ".msg");
        store.file(dir + "/folder.bag", line(std::to_string(level) + ".msg"));
    }
    RunResult run = archiver({"/A", "30", "/N"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    std::size_t messages = 0;
    for (const auto& m : ts::zipMembers(main() + "/ARCHIV00.zip")) messages += m.find(".msg") != std::string::npos;
    EXPECT_EQ(messages, 50u);
    dir = "a.act";
    for (int level = 0; level < 50; ++level) {
        dir += "/d" + std::to_string(level) + ".fld";
        EXPECT_FALSE(ts::exists(main() + "/" + dir + "/" + std::to_string(level) + ".msg")) << level;
        EXPECT_EQ(ts::readFile(main() + "/" + dir + "/folder.bag"), "") << level;
    }
}

// 10,000 messages in one folder: the reindex reads them all and lists each
// once, in bounded time.
TEST_F(Hostile, FolderTenThousandWide) {
    store.account("a.act", "A").folder("a.act/in.fld", "In");
    std::string bag;
    for (int i = 0; i < 10000; ++i) {
        ts::writeFile(main() + "/a.act/in.fld/" + std::to_string(i) + ".msg", headers);
        if (i % 2) bag += line(std::to_string(i) + ".msg");
    }
    store.file("a.act/in.fld/folder.bag", bag + line("gone.msg"));
    const auto start = std::chrono::steady_clock::now();
    RunResult run = archiver({"/I"});
    const auto seconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count() / 1000.0;
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const std::string after = ts::readFile(main() + "/a.act/in.fld/folder.bag");
    EXPECT_EQ(after.compare(0, bag.size(), bag), 0) << "the lines that were there come first, as they were";
    std::size_t lines = 0;
    for (char c : after) lines += c == '\n';
    EXPECT_EQ(lines, 10000u);
    EXPECT_EQ(after.find("gone.msg"), std::string::npos);
    EXPECT_LT(seconds, 20.0);
}

}  // namespace
