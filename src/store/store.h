// The client's message store: index files, header reader, scan, filters.
#pragma once

// Appends to accountDir every account whose display name matches an
// accountName entry, then empties accountName.
void resolveAccountNames();
