// The jobs of one run, each a short sequence of steps.
#pragma once

void archiveJob();
void runRestore();
void runReindex();
// Sorts <velmorDir>../tools/addr.db by the named field.
void sortAddressBook(const char* velmorDir, const char* field);
