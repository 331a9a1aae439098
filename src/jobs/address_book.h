// The address book reader, on its own so that it can be driven without a
// file: one record per line of addr.db, with the sort key found in it.
#pragma once

#include "LL.h"

#include <cstddef>
#include <string_view>

struct AddressRecord {
    const char* line;  // the line without its line end, inside the bytes read
    std::size_t lineLength;
    std::size_t keyOffset;  // the sort column's field within the line
    std::size_t keyLength;
};

// Appends one AddressRecord per line of `bytes` to `records`, in file
// order. A carriage return before the line feed belongs to the line end,
// and a last line without a line end is a record too. The key is field
// `column` (0-based, fields ended by the index separator); a line with
// fewer fields has an empty key. The records point into `bytes`, which must
// outlive them.
void readAddressBookRecords(std::string_view bytes, int column, TypedLL<AddressRecord>& records);
