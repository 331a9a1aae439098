// The CRC-32 of a whole file, as zip stores it for each member: the
// archive's proof that it holds a message's exact bytes rests on it.
#include "file_crc.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

using namespace testing_support;

namespace {

// Longer than one read block, so that the sum runs on across blocks.
std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i % 251);
    return bytes;
}

}  // namespace

TEST(FileCrc, TheSumAndSizeOfTheWholeFile) {
    TempDir t;
    writeFile(t / "check.msg", "123456789");
    std::uint32_t crc = 0;
    std::int64_t size = -1;
    ASSERT_TRUE(fileCrc32(t / "check.msg", crc, size));
    EXPECT_EQ(crc, 0xCBF43926u);  // the CRC-32 check value
    EXPECT_EQ(size, 9);

    writeFile(t / "empty.msg", "");
    ASSERT_TRUE(fileCrc32(t / "empty.msg", crc, size));
    EXPECT_EQ(crc, 0u);
    EXPECT_EQ(size, 0);

    // Bytes a text-mode read would change or stop at: CR LF, Ctrl+Z, NUL.
    writeFile(t / "binary.msg", std::string("a\r\nb\x1a\0c", 7));
    ASSERT_TRUE(fileCrc32(t / "binary.msg", crc, size));
    EXPECT_EQ(size, 7);
    EXPECT_EQ(crc, 0x12A6BA9Cu);

    writeFile(t / "Work.ACT/Long.MSG", pattern(200000));
    ASSERT_TRUE(fileCrc32(t / "work.act/long.msg", crc, size));  // found as the store finds it
    EXPECT_EQ(crc, 0xA745C145u);
    EXPECT_EQ(size, 200000);
}

TEST(FileCrc, WhatCannotBeReadWholeHasNoSum) {
    TempDir t;
    std::uint32_t crc = 7;
    std::int64_t size = 7;
    EXPECT_FALSE(fileCrc32(t / "missing.msg", crc, size));
    makeDirectories(t / "folder.msg");
    EXPECT_FALSE(fileCrc32(t / "folder.msg", crc, size));
    EXPECT_EQ(crc, 7u) << "left as it was";
    EXPECT_EQ(size, 7);
}

TEST(FileCrc, SeveralThreadsAtOnce) {
    TempDir t;
    writeFile(t / "a.msg", pattern(200000));
    writeFile(t / "b.msg", "123456789");
    std::uint32_t crcA = 0, crcB = 0;
    std::int64_t sizeA = 0, sizeB = 0;
    bool readA = false, readB = false;
    std::thread a([&] { readA = fileCrc32(t / "a.msg", crcA, sizeA); });
    std::thread b([&] { readB = fileCrc32(t / "b.msg", crcB, sizeB); });
    a.join();
    b.join();
    ASSERT_TRUE(readA && readB);
    EXPECT_EQ(crcA, 0xA745C145u);
    EXPECT_EQ(crcB, 0xCBF43926u);
}
