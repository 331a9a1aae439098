#include "program_state.h"

#include "settings.h"

#include <ctime>

using namespace testing_support;

namespace {

constexpr std::time_t day = 86400;

class FiltersTest : public StoreTest {
protected:
    std::time_t now = std::time(nullptr);
    IndexEntry entry{};
    std::string date = "1998-07-14  ", time = "15:39:10", subject = "invoice due", to = "bob@example.com",
                from = "news@example.org", size = "5K";

    void SetUp() override {
        StoreTest::SetUp();
        entry.value1 = entry.value2 = 1;
        entry.date = date.data();
        entry.time = time.data();
        entry.subject = subject.data();
        entry.recipientAddress = to.data();
        entry.senderAddress = from.data();
        entry.sizeText = size.data();
        entry.changeTime = entry.modifyTime = now - 2 * day;
    }
    void olderThan(int days) {
        settings.fileAge = "x";
        settings.ageCutOffTime = now - days * day;
    }
    bool selected(Selection selection = Selection::byCriteria) { return messageSelected(entry, selection) == 1; }
};

std::time_t localMidnight(int year, int month, int dayOfMonth) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = dayOfMonth;
    fields.tm_isdst = 0;
    return std::mktime(&fields);
}

}  // namespace

TEST_F(FiltersTest, NoCriterionSelectsEveryMessage) { EXPECT_TRUE(selected()); }

TEST_F(FiltersTest, SizeIsCompared) {
    settings.fileSize = 10;
    size = "10K";
    entry.sizeText = size.data();
    EXPECT_TRUE(selected());
    size = "9K";
    entry.sizeText = size.data();
    EXPECT_FALSE(selected());
    size = "(null)";
    entry.sizeText = size.data();
    EXPECT_FALSE(selected());
}

TEST_F(FiltersTest, AgeTakesTheEarlierFileTime) {
    olderThan(30);
    EXPECT_FALSE(selected());
    entry.changeTime = now - 40 * day;  // created long ago, modified lately
    EXPECT_TRUE(selected());
    entry.changeTime = entry.modifyTime = settings.ageCutOffTime;
    EXPECT_TRUE(selected());
    entry.changeTime = entry.modifyTime = 0;  // entries read back from an archive carry no times
    EXPECT_TRUE(selected());
}

TEST_F(FiltersTest, DateCutOffByFileTimeOrByTheDateHeader) {
    settings.dateCutOff = "1998/07/14";
    settings.dateCutOffTime = localMidnight(1998, 7, 14) + 15 * 3600 + 39 * 60 + 10;
    EXPECT_FALSE(selected());  // the files are recent
    settings.messageDateCutOff = true;
    EXPECT_TRUE(selected());
    settings.dateCutOffTime -= 1;
    EXPECT_FALSE(selected());

    // An undecodable date is 1 January of the file's modification year.
    date = "(null)";
    entry.date = date.data();
    entry.modifyTime = localMidnight(1998, 6, 1);
    EXPECT_TRUE(selected());
    settings.dateCutOffTime = localMidnight(1997, 12, 31);
    EXPECT_FALSE(selected());
}

TEST_F(FiltersTest, SubjectPrefixComparesTheShorterLengthIgnoringCase) {
    addString(settings.beginSubject, "INVOICE");
    EXPECT_TRUE(selected());
    ClearLL(settings.beginSubject);
    addString(settings.beginSubject, "Re: meeting");
    subject = "Re:";
    entry.subject = subject.data();
    EXPECT_TRUE(selected());
    subject = "";
    entry.subject = subject.data();
    EXPECT_TRUE(selected());
    subject = "Fwd: meeting";
    entry.subject = subject.data();
    EXPECT_FALSE(selected());
}

TEST_F(FiltersTest, SubjectSubstringHeedsCase) {
    addString(settings.partialSubject, "Invoice");
    EXPECT_FALSE(selected());
    addString(settings.partialSubject, "ice d");
    EXPECT_TRUE(selected());
}

TEST_F(FiltersTest, AddressPrefixes) {
    addString(settings.fromAddress, "NEWS");
    EXPECT_TRUE(selected());
    ClearLL(settings.fromAddress);
    addString(settings.fromAddress, "boss");
    EXPECT_FALSE(selected());
    addString(settings.toAddress, "Bob@");
    EXPECT_TRUE(selected());
}

TEST_F(FiltersTest, AnyOneCriterionSelectsUnlessAllAreRequired) {
    settings.fileSize = 100;
    addString(settings.beginSubject, "Hello");
    EXPECT_FALSE(selected());  // two criteria, neither matching
    addString(settings.toAddress, "bob");
    EXPECT_TRUE(selected());
    settings.allRequired = true;
    EXPECT_FALSE(selected());
}

TEST_F(FiltersTest, AllRequiredNeedsEveryCriterion) {
    settings.allRequired = true;
    EXPECT_TRUE(selected());  // nothing set: nothing to fail
    olderThan(30);
    addString(settings.fromAddress, "news");
    entry.changeTime = entry.modifyTime = now - 31 * day;
    EXPECT_TRUE(selected());
    from = "other@example.org";
    entry.senderAddress = from.data();
    EXPECT_FALSE(selected());
    from = "NEWS@example.org";
    entry.senderAddress = from.data();
    addString(settings.beginSubject, "invoice");
    addString(settings.beginSubject, "invoices");  // a second prefix that must hold as well
    EXPECT_FALSE(selected());
}

TEST_F(FiltersTest, ReindexTakesEveryMessage) {
    settings.fileSize = 1000;
    addString(settings.partialSubject, "nowhere");
    settings.allRequired = true;
    EXPECT_TRUE(selected(Selection::everything));
}
