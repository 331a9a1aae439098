// LL: the one container of the archiver.
//
// A list is a circular, doubly linked ring with one head node; the handle
// callers hold points at the head. Every element is one heap block holding
// a copy of the caller's bytes, and is referred to by the address of its
// data. The head's data size is 0 and no element has size 0, so every
// traversal ends when SizeLL of the current address is 0:
//
//     for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) { ... }
//
// A caller that deletes during a traversal reads NextLL before DeleteLL.
// When the heap is exhausted the library prints "In <op>: malloc returned
// NULL" and ends the process with status -1; callers never see a null.
#pragma once

#include <cstring>
#include <type_traits>

struct LLNode;
using LL = LLNode;

LL* CreatLL();
void* AppendLL(LL* list, int size, const void* source);
void* FirstLL(LL* list);
void* NextLL(void* element);
int SizeLL(const void* element);
void DeleteLL(void* element);
int CountLL(LL* list);
void ClearLL(LL* list);
// Not stable: equal elements may come out in any order. The comparison
// must not sort another list.
void SortLL(LL* list, int (*compare)(const void*, const void*));

// A typed view for lists of trivially copyable records.
template <class T>
class TypedLL {
    static_assert(std::is_trivially_copyable<T>::value, "LL copies elements byte by byte");

public:
    explicit TypedLL(LL* list) : list_(list) {}
    LL* handle() const { return list_; }
    T* append(const T& value) { return static_cast<T*>(AppendLL(list_, sizeof(T), &value)); }
    T* first() const { return elementOrNull(FirstLL(list_)); }
    static T* next(T* element) { return elementOrNull(NextLL(element)); }
    int count() const { return CountLL(list_); }

    template <class F>
    void forEach(F f) const {
        for (void* e = FirstLL(list_); SizeLL(e) != 0; e = NextLL(e)) f(*static_cast<T*>(e));
    }

private:
    static T* elementOrNull(void* e) { return SizeLL(e) == 0 ? nullptr : static_cast<T*>(e); }
    LL* list_;
};

// Lists of strings hold each text with its terminating zero.
void* AppendStringLL(LL* list, const char* text);
