// The message selection filters of the run settings.
#pragma once

#include "index_entry.h"

// 1 when the message passes the criteria: size, age, date cut-off, subject
// prefix, subject substring, sender and recipient address prefix. Any one
// matching criterion selects, or every set one with allRequired; no
// criterion at all, or the reindex job, selects every message. The message
// is dated by its "Date:" header when messageDateCutOff is set, else by the
// earlier of its file times. No side effects.
int messageSelected(const IndexEntry& entry);
