#include "LL.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// Lists live until the process ends, as in the program; keeping their heads
// here keeps them reachable for the leak checker.
LL* keptLists[64];
int keptCount = 0;

LL* newList() {
    LL* list = CreatLL();
    if (keptCount < 64) keptLists[keptCount++] = list;
    return list;
}

std::vector<int> contents(LL* list) {
    std::vector<int> out;
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) out.push_back(*static_cast<int*>(e));
    return out;
}

int ascending(const void* a, const void* b) {
    int x = *static_cast<const int*>(a), y = *static_cast<const int*>(b);
    return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

TEST(LL, NewListIsEmptyEverywhere) {
    LL* list = newList();
    EXPECT_EQ(CountLL(list), 0);
    EXPECT_EQ(SizeLL(FirstLL(list)), 0);
    ClearLL(list);
    SortLL(list, ascending);
    EXPECT_EQ(CountLL(list), 0);
    EXPECT_EQ(SizeLL(FirstLL(list)), 0);
}

TEST(LL, AppendCopiesAndKeepsOrder) {
    LL* list = newList();
    int value = 1;
    void* first = AppendLL(list, sizeof value, &value);
    value = 2;
    AppendLL(list, sizeof value, &value);
    value = 3;
    void* third = AppendLL(list, sizeof value, &value);
    value = 99;  // the source may be reused at once
    EXPECT_EQ(contents(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(FirstLL(list), first);
    EXPECT_EQ(SizeLL(third), static_cast<int>(sizeof(int)));
    EXPECT_EQ(SizeLL(NextLL(third)), 0);
    EXPECT_EQ(CountLL(list), 3);
    ClearLL(list);
    EXPECT_EQ(CountLL(list), 0);
    AppendLL(list, sizeof value, &value);  // the handle stays usable
    EXPECT_EQ(contents(list), (std::vector<int>{99}));
    ClearLL(list);
}

TEST(LL, DeletingDuringTraversalVisitsEveryElementOnce) {
    LL* list = newList();
    for (int i = 0; i < 6; ++i) AppendLL(list, sizeof i, &i);
    std::vector<int> seen;
    for (void* e = FirstLL(list); SizeLL(e) != 0;) {
        void* next = NextLL(e);
        seen.push_back(*static_cast<int*>(e));
        if (*static_cast<int*>(e) % 2 == 0) DeleteLL(e);
        e = next;
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(contents(list), (std::vector<int>{1, 3, 5}));
    DeleteLL(FirstLL(list));
    EXPECT_EQ(contents(list), (std::vector<int>{3, 5}));
    DeleteLL(FirstLL(list));
    DeleteLL(FirstLL(list));
    EXPECT_EQ(CountLL(list), 0);
    EXPECT_EQ(SizeLL(FirstLL(list)), 0);
}

TEST(LL, SortOrdersWithoutLosingOrDuplicating) {
    LL* list = newList();
    std::vector<int> values{5, 3, 9, 3, 1, 7, 3, 0};
    for (int v : values) AppendLL(list, sizeof v, &v);
    SortLL(list, ascending);
    EXPECT_EQ(contents(list), (std::vector<int>{0, 1, 3, 3, 3, 5, 7, 9}));
    // the ring is consistent in both directions after relinking
    int v = 10;
    AppendLL(list, sizeof v, &v);
    EXPECT_EQ(contents(list).back(), 10);
    ClearLL(list);
    AppendLL(list, sizeof v, &v);
    SortLL(list, ascending);
    EXPECT_EQ(contents(list), (std::vector<int>{10}));
    ClearLL(list);
}

TEST(LL, ElementsOfDifferentSizesAndTheTypedView) {
    struct Record {
        char name[8];
        int n;
    };
    LL* list = newList();
    TypedLL<Record> typed(list);
    typed.append(Record{"a", 1});
    typed.append(Record{"b", 2});
    AppendStringLL(list, "a string of another size");
    EXPECT_EQ(SizeLL(FirstLL(list)), static_cast<int>(sizeof(Record)));
    EXPECT_STREQ(typed.first()->name, "a");
    EXPECT_EQ(TypedLL<Record>::next(typed.first())->n, 2);
    void* last = NextLL(NextLL(FirstLL(list)));
    EXPECT_STREQ(static_cast<char*>(last), "a string of another size");
    EXPECT_EQ(SizeLL(last), 25);
    // elements are aligned for any type
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(FirstLL(list)) % alignof(std::max_align_t), 0u);
    ClearLL(list);
}
