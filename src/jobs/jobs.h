// The jobs of one run, each a short sequence of steps.
#pragma once

void archiveJob();
void runRestore();
void runReindex();
// Lists the messages the archives hold; ends the run with 1 when it lists
// none.
void runListing();
// Sorts <velmorDir>../tools/addr.db by the named field.
void sortAddressBook(const char* velmorDir, const char* field);
