// The message selection filters of the run settings.
#pragma once

#include "index_entry.h"

// Which messages a walk or a restore takes: those the run's criteria
// select, or every one (the reindex job looks at every message and folder).
enum class Selection { byCriteria, everything };

// 1 when the message passes the criteria: size, age, date cut-off, subject
// prefix, subject substring, sender and recipient address prefix. Any one
// matching criterion selects, or every set one with allRequired; no
// criterion at all, or Selection::everything, selects every message. The message
// is dated by its "Date:" header when messageDateCutOff is set, else by the
// earlier of its file times. No side effects.
int messageSelected(const IndexEntry& entry, Selection selection);
