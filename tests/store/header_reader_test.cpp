#include "program_state.h"

#include "settings.h"

#include <ctime>
#include <string>

using namespace testing_support;

namespace {

struct Converted {
    std::string date, time, console;
};

// 2010-06-15 12:00 local time: the year a "Date:" without one borrows.
std::time_t modifiedIn2010() {
    std::tm fields{};
    fields.tm_year = 110;
    fields.tm_mon = 5;
    fields.tm_mday = 15;
    fields.tm_hour = 12;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

Converted convert(const std::string& value) {
    Converted c;
    ::testing::internal::CaptureStdout();
    convertDateHeader(value, modifiedIn2010(), c.date, c.time);
    c.console = ::testing::internal::GetCapturedStdout();
    return c;
}

int currentCentury() {
    return (testing_support::localFields(std::time(nullptr)).tm_year + 1900) / 100;
}

class HeaderReaderTest : public StoreTest {
protected:
    TempDir dir;
    std::string folder() const { return dir.path() + "/"; }
    std::optional<IndexEntry> readMessage(const std::string& name, const std::string& bytes) {
        writeFile(dir / name, bytes);
        return readFileContents(folder().c_str(), name.c_str(), bytes.size());
    }
};

}  // namespace

TEST(SplitDateHeader, SplitsDateTimeAndZone) {
    std::string d, t, z;
    splitDateHeader("  Tue, 14 Jul 1998 11:39:10 -0400 (EDT) ", d, t, z);
    EXPECT_EQ(d, "Tue, 14 Jul 1998");
    EXPECT_EQ(t, "11:39:10");
    EXPECT_EQ(z, "-0400");
    splitDateHeader("14 Jul 1998", d, t, z);
    EXPECT_EQ(d, "14 Jul 1998");
    EXPECT_EQ(t, "00:01");
    EXPECT_EQ(z, "");
    splitDateHeader("Tue, 14 Jul 1998 11:39,", d, t, z);
    EXPECT_EQ(t, "11:39");
    splitDateHeader("11:39:10 GMT", d, t, z);
    EXPECT_EQ(d, "");
    EXPECT_EQ(t, "11:39:10");
    EXPECT_EQ(z, "GMT");
    splitDateHeader("7/14/98 10:00   PM  extra", d, t, z);
    EXPECT_EQ(d, "7/14/98");
    EXPECT_EQ(t, "10:00");
    EXPECT_EQ(z, "PM");
}

TEST(ParseAddress, QuotedNameAndAddressForms) {
    std::string name, address;
    parseAddress(" \"Smith, John\" <john@example.com>", name, address);
    EXPECT_EQ(name, "Smith, John");
    EXPECT_EQ(address, "john@example.com");
    parseAddress(" John Smith <john@example.com>", name, address);
    EXPECT_EQ(name, "john@example.com");  // an unquoted display name is not used
    EXPECT_EQ(address, "john@example.com");
    parseAddress(" john@example.com (John)", name, address);
    EXPECT_EQ(address, "john@example.com");
    EXPECT_EQ(name, "john@example.com");
    parseAddress("  undisclosed-recipients:;", name, address);
    EXPECT_EQ(address, "undisclosed-recipients:;");
    EXPECT_EQ(name, "undisclosed-recipients:;");
    parseAddress("", name, address);
    EXPECT_EQ(name, "");
    EXPECT_EQ(address, "");
    parseAddress("@", name, address);
    EXPECT_EQ(address, "@");
}

TEST(ParseAddress, UnclosedQuoteNeverReadsPastTheValue) {
    std::string name, address;
    parseAddress(" \"John <john@example.com>", name, address);
    EXPECT_EQ(address, "john@example.com");
    EXPECT_EQ(name, "john@example.com");
    parseAddress("\"", name, address);
    EXPECT_EQ(name, "\"");
}

TEST(ConvertDateHeader, MovesToUniversalTimeAcrossDays) {
    auto c = convert(" Tue, 14 Jul 1998 11:39:10 -0400");
    EXPECT_EQ(c.date, "1998-07-14  ");
    EXPECT_EQ(c.time, "15:39:10");
    EXPECT_EQ(c.console, "");
    c = convert("Tue, 14 Jul 1998 22:00:00 -0400");
    EXPECT_EQ(c.date, "1998-07-15  ");
    EXPECT_EQ(c.time, "02:00:00");
    c = convert("Wed, 15 Jul 1998 01:00:00 +0200");
    EXPECT_EQ(c.date, "1998-07-14  ");
    EXPECT_EQ(c.time, "23:00:00");
    c = convert("Thu, 31 Dec 1998 23:30:00 -0100");
    EXPECT_EQ(c.date, "1999-01-01  ");
    EXPECT_EQ(c.time, "00:30:00");
    c = convert("Mon, 1 Mar 2004 00:15:00 +0530");
    EXPECT_EQ(c.date, "2004-02-29  ");
    EXPECT_EQ(c.time, "18:45:00");
}

TEST(ConvertDateHeader, ZoneNamesAndNonsenseZonesGiveNoOffset) {
    EXPECT_EQ(convert("14 Jul 1998 11:39:10 EST").time, "11:39:10");
    EXPECT_EQ(convert("14 Jul 1998 11:39:10 -2500").time, "11:39:10");  // beyond a day
    EXPECT_EQ(convert("14 Jul 1998 11:39:10 +99999999999999999999").time, "11:39:10");
    EXPECT_EQ(convert("14 Jul 1998 11:39:10 GMT+0100").time, "11:39:10");
    EXPECT_EQ(convert("14 Jul 1998 11:39:10 +0000").time, "11:39:10");
}

TEST(ConvertDateHeader, MissingPartsAndTwelveHourTimes) {
    auto c = convert("14 Jul 1998");
    EXPECT_EQ(c.date, "1998-07-14  ");
    EXPECT_EQ(c.time, "00:01:00");
    c = convert("Tue, 14 Jul 1998 10:00pm -0400");
    EXPECT_EQ(c.date, "1998-07-15  ");
    EXPECT_EQ(c.time, "02:00:00");
    c = convert("7/14/98 10:00 PM");  // the two-digit year is read in today's century
    EXPECT_EQ(c.date, std::to_string(currentCentury()) + "98-07-14  ");
    EXPECT_EQ(c.time, "10:00:00");
    c = convert("14 Jul 10:00");
    EXPECT_EQ(c.date, "2010-07-14  ");
    EXPECT_EQ(c.time, "10:00:00");
    c = convert("14 Jul 1998 24:00:00");
    EXPECT_EQ(c.time, "24:00:00");
}

TEST(ConvertDateHeader, UndecodableDatesAndTimesAreReportedAndReplaced) {
    auto c = convert("sometime last week");
    EXPECT_EQ(c.console, "3124, Error [0] converting date to string [sometime last week]\n\n");
    EXPECT_EQ(c.date, "2010-01-01  ");
    c = convert("July 14, 1998");
    EXPECT_EQ(c.console, "3124, Error [0] converting date to string [July 14, 1998]\n\n");
    EXPECT_EQ(c.date, "2010-01-01  ");
    EXPECT_EQ(c.time, "00:01:00");
    c = convert("Tue, 14 Jul 1998 ab:cd:ef +0100");
    EXPECT_EQ(c.console, "3154 - Error decoding time: ab:cd:ef.\n");
    EXPECT_EQ(c.date, "1998-07-13  ");
    EXPECT_EQ(c.time, "23:00:00");
    c = convert("100% %s %n " + std::string(3000, '%') + ":" + std::string(2000, '9'));
    EXPECT_LE(c.console.size(), 2 * 256u);  // two bounded console lines
    EXPECT_EQ(c.console.find("3124, Error [0] converting date to string [100% %s %n]\n\n3154 - Error decoding time: %%%"), 0u);
}

TEST_F(HeaderReaderTest, BuildsTheEntryFromTheFourHeaders) {
    std::string bytes =
        "Received: from somewhere\r\n"
        "From: \"Jane Q. Doe\" <jane@example.org>\r\n"
        "To: bob@example.com\r\n"
        "Subject: Hello\r\n"
        "\tworld  \r\n"
        "Date: Tue, 14 Jul 1998 11:39:10 -0400 (EDT)\r\n"
        "\r\n"
        "Subject: not a header, the body\r\n";
    auto e = readMessage("123.msg", bytes);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->value1, 1);
    EXPECT_EQ(e->value2, 1);
    EXPECT_STREQ(e->senderName, "Jane Q. Doe");
    EXPECT_STREQ(e->senderAddress, "jane@example.org");
    EXPECT_STREQ(e->recipientName, "bob@example.com");
    EXPECT_STREQ(e->recipientAddress, "bob@example.com");
    EXPECT_STREQ(e->subject, "Hello\tworld");
    EXPECT_STREQ(e->date, "1998-07-14  ");
    EXPECT_STREQ(e->time, "15:39:10");
    EXPECT_STREQ(e->sizeText, "1K");
    EXPECT_EQ(std::string(e->fileName), folder() + "123.msg");
    EXPECT_NE(e->modifyTime, 0);
    EXPECT_NE(e->changeTime, 0);
    EXPECT_EQ(e->selected, nullptr);
    EXPECT_EQ(filesRead, 1);
    EXPECT_EQ(linesRead, 5);  // the folded subject is one line
}

TEST_F(HeaderReaderTest, MissingHeadersStayNullAndTheLastOccurrenceWins) {
    auto e = readMessage("A.MSG", "subject: first\nX-Other: y\nSUBJECT:   second\n\n");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->subject, "second");
    for (const char* text : {e->date, e->time, e->recipientAddress, e->recipientName, e->senderAddress,
                             e->senderName})
        EXPECT_STREQ(text, "(null)");
    e = readMessage("b.msg", "To:\nFrom:   \n\n");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->recipientAddress, "");
    EXPECT_STREQ(e->senderName, "");
}

TEST_F(HeaderReaderTest, OnlyMessageFileNamesAreRead) {
    EXPECT_FALSE(readMessage("x.ms", "Subject: a\n\n"));
    EXPECT_FALSE(readMessage("msg", "Subject: a\n\n"));
    EXPECT_FALSE(readMessage("x.txt", "Subject: a\n\n"));
    EXPECT_FALSE(readFileContents(folder().c_str(), nullptr, 0));
    EXPECT_EQ(filesRead, 0);
    MessageFileTimes times{1, 2, 3};
    EXPECT_FALSE(readFileContents(folder().c_str(), "vanished.msg", 0, &times));
}

TEST_F(HeaderReaderTest, SizeTextRoundsKilobytesUp) {
    const std::pair<std::uint64_t, const char*> cases[] = {{0, "0K"}, {1, "1K"}, {1024, "1K"}, {1025, "2K"},
                                                           {10 * 1024 * 1024 + 1, "10241K"}};
    writeFile(dir / "s.msg", "");
    for (auto [size, text] : cases) {
        auto e = readFileContents(folder().c_str(), "s.msg", size);
        ASSERT_TRUE(e);
        EXPECT_STREQ(e->sizeText, text);
        EXPECT_STREQ(e->subject, "(null)");
    }
}

TEST_F(HeaderReaderTest, TheFileTimesHandedInAreUsed) {
    writeFile(dir / "t.msg", "Subject: x\n\n");
    MessageFileTimes times{111, 222, 333};
    auto e = readFileContents(folder().c_str(), "t.msg", 12, &times);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->changeTime, 111);
    EXPECT_EQ(e->modifyTime, 222);
    EXPECT_EQ(e->accessTime, 333);
}

TEST_F(HeaderReaderTest, AFileWithoutStatusIsFatal) {
    EXPECT_EXIT(readFileContents(folder().c_str(), "missing%s.msg", 0), ::testing::ExitedWithCode(1),
                "^\\[3037\\]: In readFileContents, stat failed for file .*/missing%s\\.msg$");
}

TEST_F(HeaderReaderTest, BadInputGivesAnEntryAndNoOverrun) {
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    EXPECT_TRUE(readMessage("garbage.msg", garbage));

    auto e = readMessage("noend.msg", "Subject: no line end at all");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->subject, "no line end at all");

    e = readMessage("last.msg", "To: a@b\nSubject: last line unterminated");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->subject, "last line unterminated");

    e = readMessage("zero.msg", std::string("Subject: before\0after\nTo: x@y\n\n", 30));
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->subject, "before");
    EXPECT_STREQ(e->recipientAddress, "x@y");

    e = readMessage("empty.msg", "");
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->subject, "(null)");
    EXPECT_STREQ(e->sizeText, "0K");
}

TEST_F(HeaderReaderTest, AHugeHeaderLineIsReadInPiecesAndNeverWhole) {
    std::string bytes = "Subject: " + std::string(1024 * 1024, 'x') + "\nTo: a@b.c\n\nbody\n";
    auto e = readMessage("big.msg", bytes);
    ASSERT_TRUE(e);
    EXPECT_EQ(std::string(e->subject), std::string(1023 - 9, 'x'));  // the first piece
    EXPECT_STREQ(e->recipientAddress, "a@b.c");
}

TEST_F(HeaderReaderTest, ALineFillingThePieceExactlyDoesNotEndTheHeader) {
    for (const char* end : {"\n", "\r\n"}) {
        std::string line = "X-Long: " + std::string(1023 - 8, 'y');
        ASSERT_EQ(line.size(), 1023u);
        auto e = readMessage("exact.msg", line + end + "Subject: after" + end + end);
        ASSERT_TRUE(e);
        EXPECT_STREQ(e->subject, "after");
    }
}

TEST_F(HeaderReaderTest, FoldingStopsAtTheLineLimit) {
    std::string first = "Subject: " + std::string(600, 'a');
    std::string second = " " + std::string(600, 'b');
    auto e = readMessage("fold.msg", first + "\n" + second + "\n\n");
    ASSERT_TRUE(e);
    EXPECT_EQ(std::string(e->subject), std::string(600, 'a'));  // too long to join
}

TEST_F(HeaderReaderTest, VerboseModeCountsMessageDots) {
    settings.verbose = 1;
    writeFile(dir / "d.msg", "\n");
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 100; ++i) readFileContents(folder().c_str(), "d.msg", 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "..");
    EXPECT_EQ(messageDots, 100);
}

// The reading threads hand on only the bytes up to the header's end; the
// count must take in the whole empty line and nothing is claimed without one.
TEST(HeaderEnd, CountsTheBytesUpToTheEmptyLine) {
    auto end = [](const std::string& bytes) { return headerEndsWithin(bytes.data(), bytes.size()); };
    EXPECT_EQ(end("A: b\r\n\r\nbody"), 8u);
    EXPECT_EQ(end("A: b\n\nbody"), 6u);
    EXPECT_EQ(end("\r\nbody"), 2u);                       // an empty first line
    EXPECT_EQ(end(std::string("A: b\n\0C: d\n", 11)), 6u);  // a zero byte starts an empty line
    EXPECT_EQ(end("A: b\r\n\r\r\r\nC"), 10u);
    EXPECT_EQ(end("A: b\r\n\r"), 0u);                     // the line may go on in the next block
    EXPECT_EQ(end("A: b\r\nC: d"), 0u);
    EXPECT_EQ(end("A: b\r\n x\r\n"), 0u);                 // a continuation is no empty line
    EXPECT_EQ(end(""), 0u);
}
