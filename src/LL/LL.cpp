#include "LL.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>

struct LLNode {
    LLNode* next;
    LLNode* prev;
    int size;
};

namespace {

// Element data follows the header, aligned for any type.
constexpr std::size_t dataOffset =
    (sizeof(LLNode) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);

unsigned char* dataOf(LLNode* node) { return reinterpret_cast<unsigned char*>(node) + dataOffset; }

LLNode* nodeOf(const void* data) {
    return reinterpret_cast<LLNode*>(const_cast<unsigned char*>(static_cast<const unsigned char*>(data)) - dataOffset);
}

[[noreturn]] void outOfMemory(const char* operation) {
    std::fprintf(stderr, "In %s: %s \n", operation, "malloc returned NULL");
    std::exit(-1);
}

enum class Link { beforeNode };

// Allocates a node, links it by the rule, copies the data, sets the size.
void* InsBefLLf(LLNode* node, int size, const void* source, Link rule) {
    auto* fresh = static_cast<LLNode*>(std::malloc(dataOffset + static_cast<std::size_t>(size)));
    if (!fresh) outOfMemory("InsBefLLf");
    switch (rule) {
        case Link::beforeNode:
            fresh->next = node;
            fresh->prev = node->prev;
            node->prev->next = fresh;
            node->prev = fresh;
            break;
    }
    std::memcpy(dataOf(fresh), source, static_cast<std::size_t>(size));
    fresh->size = size;
    return dataOf(fresh);
}

int (*activeCompare)(const void*, const void*) = nullptr;

int compareAddresses(const void* a, const void* b) {
    return activeCompare(*static_cast<void* const*>(a), *static_cast<void* const*>(b));
}

}  // namespace

LL* CreatLL() {
    auto* head = static_cast<LLNode*>(std::malloc(dataOffset));
    if (!head) outOfMemory("CreatLL");
    head->next = head;
    head->prev = head;
    head->size = 0;
    return head;
}

void* AppendLL(LL* list, int size, const void* source) {
    // A zero-sized element would end every traversal early: store one zero
    // byte instead, and never read from a source that holds nothing.
    if (size <= 0) {
        static const unsigned char zero = 0;
        return InsBefLLf(list, 1, &zero, Link::beforeNode);
    }
    return InsBefLLf(list, size, source, Link::beforeNode);
}

void* FirstLL(LL* list) { return dataOf(list->next); }

void* NextLL(void* element) { return dataOf(nodeOf(element)->next); }

int SizeLL(const void* element) { return nodeOf(element)->size; }

void DeleteLL(void* element) {
    LLNode* node = nodeOf(element);
    node->next->prev = node->prev;
    node->prev->next = node->next;
    std::free(node);
}

int CountLL(LL* list) {
    int n = 0;
    for (LLNode* p = list->next; p != list; p = p->next) ++n;
    return n;
}

void ClearLL(LL* list) {
    LLNode* p = list->next;
    while (p != list) {
        LLNode* next = p->next;
        std::free(p);
        p = next;
    }
    list->next = list;
    list->prev = list;
}

void SortLL(LL* list, int (*compare)(const void*, const void*)) {
    int n = CountLL(list);
    if (n == 0) return;
    auto** array = static_cast<void**>(std::malloc(sizeof(void*) * static_cast<std::size_t>(n)));
    if (!array) outOfMemory("SortLL");
    int i = 0;
    for (LLNode* p = list->next; p != list; p = p->next) array[i++] = dataOf(p);
    activeCompare = compare;
    std::qsort(array, static_cast<std::size_t>(n), sizeof(void*), compareAddresses);
    activeCompare = nullptr;
    list->next = list;
    list->prev = list;
    for (i = 0; i < n; ++i) {
        LLNode* node = nodeOf(array[i]);
        node->next = list;
        node->prev = list->prev;
        list->prev->next = node;
        list->prev = node;
    }
    std::free(array);
}

void* AppendStringLL(LL* list, const char* text) {
    return AppendLL(list, static_cast<int>(std::strlen(text) + 1), text);
}
