// A temporary current directory and a PATH of the test's choosing for the
// zip interface tests, both put back afterwards.
#pragma once

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

class ZipEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        char buf[4096];
        ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
        savedDir_ = buf;
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        const char* tmp = std::getenv(testing_support::temporaryDirectoryVariable);
        hadTmp_ = tmp != nullptr;
        savedTmp_ = tmp ? tmp : "";
        dir_ = std::make_unique<testing_support::TempDir>();
        ASSERT_EQ(chdir(dir_->path().c_str()), 0);
        testing_support::unsetEnvironment("ARCHIVER_DEBUG");
    }
    void TearDown() override {
        (void)chdir(savedDir_.c_str());
        testing_support::setEnvironment("PATH", savedPath_);
        if (hadTmp_) testing_support::setEnvironment(testing_support::temporaryDirectoryVariable, savedTmp_);
        else testing_support::unsetEnvironment(testing_support::temporaryDirectoryVariable);
        testing_support::unsetEnvironment("ARCHIVER_DEBUG");
        dir_.reset();
    }

    std::string at(const std::string& relative) const { return dir_->path() + "/" + relative; }
    const std::string& originalPath() const { return savedPath_; }
    void usePath(const std::string& value) { testing_support::setEnvironment("PATH", value); }
    // PATH elements joined as the system joins them.
    static std::string pathList(const std::vector<std::string>& elements) {
        std::string list;
        for (std::size_t i = 0; i < elements.size(); ++i)
            list += (i ? std::string(1, testing_support::pathListSeparator) : std::string()) + elements[i];
        return list;
    }

    // A stand-in that writes each argument on a line of `record`, copies its
    // standard input to `record`.in and exits with `status`.
    void recordingStandIn(const std::string& dir, const std::string& name, const std::string& record,
                          int status = 0) {
        testing_support::makeDirectories(dir);
#ifdef _WIN32
        testing_support::writeStandIn(dir, name, "record " + record + "\nexit " + std::to_string(status) + "\n");
#else
        testing_support::writeScript(dir, name,
                                     "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + record + "'\n"
                                     "/bin/cat > '" + record + ".in'\n"
                                     "exit " + std::to_string(status) + "\n");
#endif
    }

private:
    std::unique_ptr<testing_support::TempDir> dir_;
    std::string savedDir_, savedPath_, savedTmp_;
    bool hadTmp_ = false;
};
