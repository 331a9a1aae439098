// Helper threads leave interrupts to the main thread, whose handler cleans
// up: on POSIX the new thread blocks every signal (on Windows Ctrl+C comes
// on a thread of its own, so nothing is held off there).
#include "platform.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <csignal>
#include <pthread.h>
#endif

#include <thread>

TEST(PlatformThread, AQuietThreadRunsItsBody) {
    std::thread thread;
    bool ran = false;
    ASSERT_TRUE(platform::startQuietThread(thread, [&] { ran = true; }));
    thread.join();
    EXPECT_TRUE(ran);
}

#ifndef _WIN32

TEST(PlatformThread, AQuietThreadBlocksEverySignalAndItsStarterDoesNot) {
    std::thread thread;
    sigset_t mask;
    sigemptyset(&mask);
    ASSERT_TRUE(platform::startQuietThread(thread, [&] { pthread_sigmask(SIG_SETMASK, nullptr, &mask); }));
    thread.join();
    for (int number : {SIGINT, SIGQUIT, SIGTERM, SIGABRT, SIGPIPE}) EXPECT_EQ(sigismember(&mask, number), 1) << number;
    sigset_t mine;
    pthread_sigmask(SIG_SETMASK, nullptr, &mine);
    EXPECT_EQ(sigismember(&mine, SIGINT), 0) << "the starting thread's mask is as it was";
}

#endif
