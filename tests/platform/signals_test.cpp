// Interrupts: before the program's handler runs, the files of the cleanup
// registry are gone. POSIX takes four signals (SIGQUIT for the break key);
// on Windows Ctrl+C comes through the console, tried with the probe.
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <unistd.h>
#endif

using namespace testing_support;

#ifdef _WIN32

TEST(WindowsSignals, CtrlCStopsTheRunAfterRemovingItsTemporaries) {
    RunResult r = run(PLATFORM_PROBE, {"interrupt"});
    if (r.status == 3) GTEST_SKIP() << "no console to send Ctrl+C through here";
    EXPECT_EQ(r.status, 5) << r.out << r.err;
    EXPECT_EQ(r.err, "interrupted\n");
    const std::string temporary = r.out.substr(0, r.out.find('\n'));
    ASSERT_FALSE(temporary.empty());
    EXPECT_FALSE(exists(temporary));
}

// A running zip shares the console and gets the Ctrl+C too: one that stops
// is waited for; one that does not is ended after a grace of 5 s. Either
// way the run ends with the handler's status and the child is gone.
TEST(WindowsSignals, CtrlCWaitsForARunningChildOrEndsIt) {
    for (const bool ignoring : {false, true}) {
        const std::string name = "archiver-probe-" + std::to_string(GetCurrentProcessId()) + (ignoring ? "-i" : "-s");
        std::vector<std::string> args{"interrupt-child", name};
        if (ignoring) args.push_back("ignore");
        const DWORD start = GetTickCount();
        RunResult r = run(PLATFORM_PROBE, args);
        const DWORD took = GetTickCount() - start;
        if (r.status == 3) GTEST_SKIP() << "no console to send Ctrl+C through here";
        EXPECT_EQ(r.status, 5) << ignoring << r.out << r.err;
        HANDLE held = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        EXPECT_EQ(held, nullptr) << "the child is still there";
        if (held) CloseHandle(held);
        if (ignoring) {
            EXPECT_GE(took, 5000u);
            EXPECT_LT(took, 25000u);
        } else {
            EXPECT_LT(took, 5000u);
        }
    }
}

#else

namespace {

// The handler tells which signal came by its exit status.
void exitWithTheSignalsNumber(platform::Signal which) {
    const char text[] = "interrupted\n";
    platform::writeStandardErrorRaw(text, sizeof text - 1);
    platform::exitImmediately(10 + static_cast<int>(which));
}

}  // namespace

TEST(PlatformSignals, EachSignalRemovesTheTemporariesThenCallsItsHandler) {
    const struct {
        platform::Signal which;
        int number;
    } signalsOf[] = {{platform::Signal::interrupt, SIGINT},
                     {platform::Signal::breakKey, SIGQUIT},
                     {platform::Signal::terminate, SIGTERM},
                     {platform::Signal::abort, SIGABRT}};
    for (const auto& s : signalsOf) {
        TempDir temporaries;
        SavedVariables saved({temporaryDirectoryVariable});
        setEnvironment(temporaryDirectoryVariable, temporaries.path());
        EXPECT_EXIT(
            {
                const std::string temporary = platform::createTemporaryFile();
                if (temporary.empty() || !exists(temporary)) _exit(2);
                if (!platform::installSignalHandler(s.which, exitWithTheSignalsNumber)) _exit(3);
                raise(s.number);
                _exit(4);
            },
            ::testing::ExitedWithCode(10 + static_cast<int>(s.which)), "interrupted\n")
            << s.number;
        EXPECT_EQ(listDirectory(temporaries.path()), std::vector<std::string>{}) << s.number;
    }
}

#endif
