#include "option_scanner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const archiverOptions = "?rRNnIqQop:a:b:f:G:A:d:D:t:s:S:F:T:V:Z:c:i%:O%";

// One scan over a word list, as the archiver sets it up.
class Scan {
public:
    explicit Scan(std::vector<std::string> words) : words_(std::move(words)) {
        for (auto& w : words_) pointers_.push_back(w.data());
        pointers_.push_back(nullptr);
        optionPrefixes = "-/+";
        optionalArgumentMarker = '%';
        startOptionScan();
    }
    int next() { return nextOption(static_cast<int>(words_.size()), pointers_.data(), archiverOptions); }
    std::string argument() const { return optionArgument ? optionArgument : "<none>"; }

private:
    std::vector<std::string> words_;
    std::vector<char*> pointers_;
};

TEST(OptionScanner, EndsAtOnceWithoutWords) {
    Scan s({"archiver"});
    EXPECT_EQ(s.next(), -1);
    EXPECT_EQ(optionIndex, 1);
}

TEST(OptionScanner, AllThreePrefixesGiveTheSameLetter) {
    Scan s({"archiver", "/r", "+r", "-r"});
    EXPECT_EQ(s.next(), 'r');
    EXPECT_EQ(s.next(), 'r');
    EXPECT_EQ(s.next(), 'r');
    EXPECT_EQ(s.next(), -1);
    EXPECT_EQ(optionIndex, 4);
}

TEST(OptionScanner, UnknownLetterIsReportedAndTheNextWordFollows) {
    Scan s({"archiver", "-x", "-r"});
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "archiver: illegal option -- x\n");
    EXPECT_EQ(optionLetter, 'x');
    EXPECT_EQ(s.next(), 'r');
}

TEST(OptionScanner, GroupedLettersAreReadOneByOne) {
    Scan s({"archiver", "-Nx", "-Np", "dir"});
    EXPECT_EQ(s.next(), 'N');
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "archiver: illegal option -- x\n");
    EXPECT_EQ(s.next(), 'N');
    EXPECT_EQ(s.next(), 'p');
    EXPECT_EQ(s.argument(), "dir");
    EXPECT_EQ(s.next(), -1);
    EXPECT_EQ(optionIndex, 4);
}

TEST(OptionScanner, RequiredArgument) {
    {
        Scan s({"archiver", "-pD:\\mail", "-p", "-r"});
        EXPECT_EQ(s.next(), 'p');
        EXPECT_EQ(s.argument(), "D:\\mail");
        EXPECT_EQ(s.next(), 'p');
        EXPECT_EQ(s.argument(), "-r");  // whatever its first character
        EXPECT_EQ(s.next(), -1);
    }
    {
        Scan s({"archiver", "-p"});
        testing::internal::CaptureStderr();
        EXPECT_EQ(s.next(), '?');
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "archiver: option requires an argument -- p\n");
        EXPECT_EQ(s.next(), -1);
    }
}

TEST(OptionScanner, OptionalArgumentOnlyFromANonOptionWord) {
    {
        Scan s({"archiver", "-i"});
        EXPECT_EQ(s.next(), 'i');
        EXPECT_EQ(optionArgument, nullptr);
        EXPECT_EQ(s.next(), -1);
    }
    {
        Scan s({"archiver", "-i", "-r", "-i", "name", "-r", "-ialias"});
        EXPECT_EQ(s.next(), 'i');
        EXPECT_EQ(optionArgument, nullptr);
        EXPECT_EQ(s.next(), 'r');
        EXPECT_EQ(s.next(), 'i');
        EXPECT_EQ(s.argument(), "name");
        EXPECT_EQ(s.next(), 'r');
        EXPECT_EQ(s.next(), 'i');
        EXPECT_EQ(s.argument(), "alias");
    }
    {
        Scan s({"archiver", "-O", "report.txt", "file.zip"});
        EXPECT_EQ(s.next(), 'O');
        EXPECT_EQ(s.argument(), "report.txt");
        EXPECT_EQ(s.next(), -1);
        EXPECT_EQ(optionIndex, 3);
    }
}

TEST(OptionScanner, FirstNonOptionWordEndsTheScan) {
    Scan s({"archiver", "file.zip", "-r"});
    EXPECT_EQ(s.next(), -1);
    EXPECT_EQ(optionIndex, 1);
}

TEST(OptionScanner, EndMarkersAndLonePrefix) {
    for (const char* marker : {"--", "//", "++"}) {
        Scan s({"archiver", marker, "-r"});
        EXPECT_EQ(s.next(), -1) << marker;
        EXPECT_EQ(optionIndex, 2) << marker;
    }
    Scan lone({"archiver", "-", "-r"});
    EXPECT_EQ(lone.next(), -1);
    EXPECT_EQ(optionIndex, 1);
}

TEST(OptionScanner, DoubledPrefixWithMoreTextAsksForHelp) {
    for (const char* word : {"--help", "//x", "++r"}) {
        Scan s({"archiver", word, "-r"});
        testing::internal::CaptureStderr();
        EXPECT_EQ(s.next(), '?') << word;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << word;
        EXPECT_EQ(optionIndex, 2) << word;
    }
}

TEST(OptionScanner, MixedPairReadsTheSecondCharacterAsALetter) {
    Scan s({"archiver", "-/"});
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "archiver: illegal option -- /\n");
}

TEST(OptionScanner, MarkersAreNeverLetters) {
    Scan s({"archiver", "-:", "-%"});
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "archiver: illegal option -- :\narchiver: illegal option -- %\n");
}

TEST(OptionScanner, ListedQuestionMarkIsSilent) {
    Scan s({"archiver", "-?"});
    testing::internal::CaptureStderr();
    EXPECT_EQ(s.next(), '?');
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(OptionScanner, NewScanForgetsPendingLetters) {
    Scan first({"archiver", "-Nq"});
    EXPECT_EQ(first.next(), 'N');  // 'q' is left pending
    Scan second({"line", "-r"});
    EXPECT_EQ(second.next(), 'r');
    EXPECT_EQ(second.next(), -1);
}

TEST(OptionScanner, EmptyWordIsNoOptionButCanBeAnArgument) {
    Scan s({"archiver", "-O", "", "-r"});
    EXPECT_EQ(s.next(), 'O');
    EXPECT_EQ(s.argument(), "");
    EXPECT_EQ(s.next(), 'r');
    Scan t({"archiver", "", "-r"});
    EXPECT_EQ(t.next(), -1);
    EXPECT_EQ(optionIndex, 1);
}

}  // namespace
