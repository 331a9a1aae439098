// Proof, before a delete run takes a message out of the store, that the
// archive just written holds exactly the bytes the message has on disk.
//
// The calling sequence of the archive job with delete set:
//
//   startNotingMessages   before zip runs: a second thread takes the CRC-32,
//                         size and modification time of every selected
//                         message while zip works on the first core;
//   proveArchived         after zip: lists the archive (name, size, CRC-32
//                         of each member), tests every member on both cores
//                         (unzip inflates it and checks its CRC-32 and
//                         size), and meanwhile judges each message: in the
//                         archive, unchanged since it was noted (or taken
//                         again), and with the member's CRC-32 and size;
//   isProven              for rewriteIndexes and deleteArchived: the
//                         message may go;
//   stillAsProven         just before the deletion: its size and time are
//                         still those it was proven with (and its bytes,
//                         for a file modified just before it was read);
//   reportKept            the warning that names a message kept, and why.
//
// Nothing may be deleted, and no index rewritten, when proveArchived
// returns false. The job without delete calls none of this.
#pragma once

#include "index_entry.h"
#include "lock.h"

#include <ctime>
#include <string>

void startNotingMessages(LL* selected);
// `zipStarted`: when zip was started; a message modified since then has
// changed under the run rather than been damaged in the archive.
bool proveArchived(const std::string& archivePath, std::time_t zipStarted);
// After proveArchived: the archive is still the file zip wrote (same file,
// size and time); otherwise warns that nothing is deleted.
bool archiveStillAsWritten(const std::string& archivePath, const platform::FileIdentity& written);
bool isProven(const IndexEntry& message);
bool stillAsProven(const IndexEntry& message);
// Warns about a message that stays although it was selected, and counts it
// among the kept ones when the check kept it (the run then ends with 1).
void reportKept(const IndexEntry& message);
// The warning for a proven message that changed before it could be deleted.
void reportChangedBeforeDeletion(const IndexEntry& message);
