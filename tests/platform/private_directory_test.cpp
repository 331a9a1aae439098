// The private directory a restore stages messages in: made fresh inside a
// given one, and removed with whatever it holds.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ts = testing_support;

namespace {

std::string lastPart(const std::string& path) { return path.substr(path.find_last_of("/\\") + 1); }

TEST(PrivateDirectory, IsMadeFreshAndRemovedWithWhatItHolds) {
    ts::TempDir tmp;
    ts::makeDirectories(tmp / "Account.act");
    platform::PrivateDirectory first, second;
    ASSERT_FALSE(first.create(tmp / "account.act"));  // found without regard to case
    ASSERT_FALSE(second.create(tmp / "account.act"));
    EXPECT_NE(first.path(), second.path());
    EXPECT_EQ(lastPart(first.path()).compare(0, 10, ".archiver-"), 0) << first.path();
    ASSERT_TRUE(ts::isDirectory(tmp / ("Account.act/" + lastPart(first.path()))));

    // What unzip may leave there: files, one of them read-only, a directory
    // with a file, and (on POSIX) a link to a directory outside, which must
    // not be followed.
    ts::writeFile(first.path() + "/1.msg", "one");
    ts::writeFile(first.path() + "/2.msg", "two");
    ASSERT_EQ(chmod((first.path() + "/2.msg").c_str(), S_IREAD), 0);
    ts::writeFile(first.path() + "/sub/3.msg", "three");
    ts::writeFile(tmp / "outside/keep.msg", "keep");
#ifndef _WIN32
    ASSERT_EQ(symlink((tmp / "outside").c_str(), (first.path() + "/link.msg").c_str()), 0);
    std::string text;
    EXPECT_TRUE(platform::readLinkText(first.path() + "/link.msg", text));
    EXPECT_EQ(text, tmp / "outside");
#endif
    std::string none;
    EXPECT_FALSE(platform::readLinkText(first.path() + "/1.msg", none));

    first.remove();
    EXPECT_EQ(first.path(), "");
    EXPECT_EQ(ts::listDirectory(tmp / "Account.act"), std::vector<std::string>{lastPart(second.path())});
    EXPECT_EQ(ts::readFile(tmp / "outside/keep.msg"), "keep");
    {
        platform::PrivateDirectory third;
        ASSERT_FALSE(third.create(tmp / "Account.act"));
        ts::writeFile(third.path() + "/4.msg", "four");
    }  // gone with its owner, as `second` goes now
    second.remove();
    EXPECT_EQ(ts::listDirectory(tmp / "Account.act"), std::vector<std::string>{});
}

TEST(PrivateDirectory, CannotBeMadeWhereThereIsNoDirectory) {
    ts::TempDir tmp;
    platform::PrivateDirectory dir;
    EXPECT_TRUE(dir.create(tmp / "missing.act"));
    EXPECT_EQ(dir.path(), "");
}

}  // namespace
