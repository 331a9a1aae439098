// The option scanner: one option letter per call over a list of words, in
// the manner of getopt, with three differences the archiver relies on:
//
//  - the characters that introduce an option word are the caller's choice
//    (`optionPrefixes`; the archiver uses "-/+", so -r, /r and +r agree);
//  - besides ':' (required argument) the option string knows a second
//    marker (`optionalArgumentMarker`) for an optional argument, which is
//    taken from the next word only when that word is no option word;
//  - words are never permuted: the first word that is no option word ends
//    the scan.
//
// Calling sequence: startOptionScan(), then nextOption() until it returns
// -1. After that `optionIndex` is the first word not consumed. An unknown
// letter or a missing required argument prints
//     <word 0>: illegal option -- x
//     <word 0>: option requires an argument -- x
// on standard error and returns '?'; the scanner itself never ends the
// program. A word of two equal prefix characters followed by more text
// ("--help") is taken for a request for help: it returns '?' silently, so
// that the caller shows its usage text rather than running a job. The exact
// words "--", "//" and "++" end the scan.
#pragma once

extern int optionIndex;             // word being scanned; 1 starts a scan
extern const char* optionArgument;  // argument of the option just returned, or null
extern char optionLetter;           // the letter just read, also when rejected
extern const char* optionPrefixes;  // characters that introduce an option word
extern char optionalArgumentMarker; // 0 until set: then only ':' is a marker

// Sets `optionIndex` to 1 and forgets any letters pending from an earlier
// scan. A caller that only sets `optionIndex` = 1 gets the same effect
// unless it rescans the very same word list while letters were pending.
void startOptionScan();

// The next option letter, '?' for an error (or for a listed '?'), or -1 at
// the end of the options.
int nextOption(int wordCount, char* const* words, const char* optionString);
