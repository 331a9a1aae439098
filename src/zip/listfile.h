// The list file archive.tmp: the names of the files zip is to add, one per
// line, handed to zip as its standard input.
#pragma once

#include <string>

// Creates (truncates) archive.tmp in the current directory. Its name, or
// null after printing "Error creating temporary file".
const char* openListFile();
// Writes the path and a line end; 0 after printing an error when that fails.
int addToListFile(const char* path);
// The same for a path already in the form addToListFile gives it (as the
// file system spells it, "/" separators), such as one the scan built from
// directory listings below a resolved start: written as it is, without
// asking the file system again.
int addSpelledPathToListFile(const std::string& hostPath);
int closeListFile();
// False when a path could not be written or the file could not be closed.
bool listFileComplete();
// Deletes archive.tmp by name; a missing file is no error.
int removeListFile();

extern const char* const listFileName;  // "archive.tmp"
