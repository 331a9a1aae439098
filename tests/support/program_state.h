// The program's own state for tests that call its code directly: fresh run
// settings and lists, and short ways to fill and look at them.
#pragma once

#include "store.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testing_support {

// A list that stays reachable until the process ends, as the program's own do.
LL* newList();
// Resets the run settings and counters and gives every list of the settings a new empty list.
void freshSettings();
std::vector<IndexEntry> entriesOf(LL* list);
std::vector<std::string> stringsOf(LL* list);
void addString(LL* list, const char* text);
void addSelector(LL* list, const char* name, int nested);

// Runs the settings and counters afresh around every test.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { freshSettings(); }
};

}  // namespace testing_support
