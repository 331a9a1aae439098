// What the store tests share: fresh run settings and lists, a current
// directory that is put back, and short ways to look at entries.
#pragma once

#include "store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace store_test {

// A list that stays reachable until the process ends, as the program's own do.
LL* newList();
// Resets the run settings and counters and gives every list of the settings a new empty list.
void freshSettings();
std::vector<IndexEntry> entriesOf(LL* list);
std::vector<std::string> stringsOf(LL* list);
void addString(LL* list, const char* text);
void addSelector(LL* list, const char* name, int nested);

// Makes a directory current for the life of the object.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir);
    ~CurrentDirectory();

private:
    std::string previous_;
};

// Runs the settings and counters afresh around every test.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { freshSettings(); }
};

}  // namespace store_test
