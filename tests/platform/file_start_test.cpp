// Reading a file's start: one block, the file closed as soon as nothing
// more is wanted, and never a wait for a pipe.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include <cstring>
#include <string>
#include <vector>

using namespace testing_support;

namespace {

// The bytes up to and including the first "\n\n", as a header reader wants them.
std::size_t toBlankLine(const char* bytes, std::size_t size) {
    for (std::size_t i = 1; i < size; ++i)
        if (bytes[i] == '\n' && bytes[i - 1] == '\n') return i + 1;
    return 0;
}

std::string startOf(const platform::FileStart& s) { return std::string(s.bytes, s.size); }

}  // namespace

TEST(FileStart, OpenStartKeepsALongFileOpenAndDoesNotWaitForAPipe) {
    TempDir t;
    writeFile(t / "Long.msg", std::string(6000, 'x'));
    platform::FileStart start;
    ASSERT_TRUE(platform::openStart(t / "long.MSG", start, toBlankLine));  // found ignoring case
    EXPECT_EQ(start.size, platform::FileStart::capacity);
    ASSERT_TRUE(start.file.isOpen());
    char rest[4096];
    platform::Error error;
    EXPECT_EQ(platform::readSome(start.file, rest, sizeof rest, error), 6000 - 4096);
    EXPECT_EQ(platform::readSome(start.file, rest, sizeof rest, error), 0);
    platform::closeFile(start.file);
    EXPECT_FALSE(start.file.isOpen());

    // A reading thread holds nothing open: a start that goes on is not whole.
    EXPECT_FALSE(platform::readWholeStart(t / "long.msg", start, toBlankLine));
    EXPECT_FALSE(start.file.isOpen());
    writeFile(t / "Short.msg", "To: a\n\nbody");
    ASSERT_TRUE(platform::readWholeStart(t / "SHORT.msg", start, toBlankLine));
    EXPECT_EQ(startOf(start), "To: a\n\n");

#ifdef _WIN32
    // A pipe with nothing in it yet: nothing, at once.
    const std::string pipe = "\\\\.\\pipe\\archiver-start-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(platform::openStart(pipe, start, toBlankLine));  // would wait for the writer without the check
    CloseHandle(server);
#else
    ASSERT_EQ(mkfifo((t / "pipe.msg").c_str(), 0600), 0);
    ASSERT_TRUE(platform::openStart(t / "pipe.msg", start, toBlankLine));  // would block without a writer
#endif
    EXPECT_EQ(start.size, 0u);
    EXPECT_FALSE(start.file.isOpen());

    EXPECT_FALSE(platform::openStart(t / "missing.msg", start, toBlankLine));
}

