// Command line, configuration file, usage text and settings listing.
#pragma once

// Start-up: lists, clock, start directory, command line, archive.cfg,
// defaults, checks, archive file name. Returns only when the settings are
// complete and valid; every error ends the process.
void prepareSettings(int argc, char** argv);

// Makes `directory` the current one after checking that it is the client's
// main directory (velmor.exe or velmorw.exe in it). Every failure is fatal.
bool enterClientDirectory(const char* directory);

// Prints every setting in effect and ends the process with status 0.
[[noreturn]] void listSettings();
