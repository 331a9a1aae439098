// One index line of folder.bag or backup.bag in memory, and the node record
// of the scan tree.
#pragma once

#include "LL.h"

#include <ctime>

// The client's field separator: it ends every field of folder.bag,
// backup.bag and folder.ini lines and parts the fields of the address book
// (it is also the Latin-1 capital thorn, which is why writeIndexLine never
// lets it into a text field).
constexpr char fieldSeparator = '\xDE';

// A fixed-size record that LL lists copy byte by byte. The texts point at
// heap copies that live until the process ends (keepString); callers may
// edit them in place (writeIndexLine trims them, restore lower-cases
// fileName) but never free them.
//
// Two kinds of record share the layout:
//  - a message entry: the texts are filled, `selected` and `indexed` are
//    null. Built by the header reader, `fileName` is the whole relative
//    path ("./name.act/inbox.fld/123.msg"); read from folder.bag it is the
//    bare file name, from backup.bag the path as the archive stored it.
//  - a directory node of the scan tree: `fileName` is the directory name
//    with its trailing "/" ("inbox.fld/"), `selected` holds what was
//    selected below it, `indexed` what its own folder.bag listed; every
//    other field is zero. A non-null `selected` is what marks a node.
struct IndexEntry {
    int value1;  // the client's own per-message values, kept unchanged;
    int value2;  // 1 and 1 for an entry built from a message file
    char* date;  // "1998-07-14  " as the header reader writes it
    char* time;  // "15:39:10"
    char* subject;
    char* recipientAddress;
    char* recipientName;
    char* senderAddress;
    char* senderName;
    char* sizeText;  // kilobytes rounded up, then "K"
    char* fileName;
    LL* selected;
    LL* indexed;
    std::time_t changeTime;  // 0 when not known (entries read from backup.bag)
    std::time_t modifyTime;  // set only for entries built from a message file
    std::time_t accessTime;  // set only for entries built from a message file
};

inline bool isDirectoryNode(const IndexEntry& entry) { return entry.selected != nullptr; }
