// The client's message store: index files, header reader, scan, filters.
#pragma once

#include "filters.h"
#include "header_reader.h"
#include "index_entry.h"
#include "index_file.h"
#include "scan.h"

// Appends to accountDir every account directory of the current directory
// whose display name matches an accountName entry (prefix of the shorter
// length, ignoring case), then empties accountName.
void resolveAccountNames();
