// Keys from the console. When standard input is a pipe or a file, as under
// a scheduler, keys are its plain bytes and its end reads as -1.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <string>

using namespace testing_support;

#ifdef _WIN32

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

#else

namespace {

// A pipe as standard input for the life of the object; its writing end
// stays open until closeWriter.
class InputFromPipe {
public:
    InputFromPipe() {
        int ends[2] = {-1, -1};
        if (pipe(ends) != 0) return;
        saved_ = dup(0);
        dup2(ends[0], 0);
        close(ends[0]);
        writer_ = ends[1];
    }
    ~InputFromPipe() {
        closeWriter();
        if (saved_ >= 0) {
            dup2(saved_, 0);
            close(saved_);
        }
    }
    InputFromPipe(const InputFromPipe&) = delete;
    InputFromPipe& operator=(const InputFromPipe&) = delete;

    bool ready() const { return writer_ >= 0 && saved_ >= 0; }
    bool send(const std::string& bytes) {
        return write(writer_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    void closeWriter() {
        if (writer_ >= 0) close(writer_);
        writer_ = -1;
    }

private:
    int saved_ = -1;
    int writer_ = -1;
};

}  // namespace

TEST(PlatformConsole, KeysFromAPipeAreItsPlainBytesThenTheEnd) {
    InputFromPipe in;
    ASSERT_TRUE(in.ready());
    EXPECT_FALSE(platform::standardInputIsTerminal());
    EXPECT_FALSE(platform::keyWaiting()) << "nothing written yet";
    ASSERT_TRUE(in.send("yn\x1a\r\nq"));
    EXPECT_TRUE(platform::keyWaiting());
    EXPECT_EQ(platform::readKey(), 'y');
    in.closeWriter();
    std::string keys;
    for (int key; (key = platform::readKey()) != -1;) keys += "[" + std::string(1, static_cast<char>(key)) + "]";
    EXPECT_EQ(keys, "[n][\x1a][\r][\n][q]");
    EXPECT_FALSE(platform::keyWaiting()) << "the end of input is no key";
    EXPECT_EQ(platform::readKey(), -1);
}

#endif
