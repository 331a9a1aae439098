#include "option_scanner.h"

#include <cstdio>
#include <cstring>

int optionIndex = 1;
const char* optionArgument = nullptr;
char optionLetter = 0;
const char* optionPrefixes = "-";
char optionalArgumentMarker = 0;

namespace {

// The next letter of a word holding several option letters, and the word it
// belongs to: letters are only continued in that same word.
const char* pendingLetter = nullptr;
const char* pendingWord = nullptr;

bool isPrefix(char c) { return c != '\0' && optionPrefixes && std::strchr(optionPrefixes, c) != nullptr; }

bool isMarker(char c) { return c == ':' || (optionalArgumentMarker != 0 && c == optionalArgumentMarker); }

void clearPending() {
    pendingLetter = nullptr;
    pendingWord = nullptr;
}

// Written in pieces to the unbuffered standard error, with nothing between.
void complain(const char* programName, const char* what, char letter) {
    std::fflush(stdout);
    std::fputs(programName ? programName : "", stderr);
    std::fputs(what, stderr);
    std::fputc(letter, stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

void startOptionScan() {
    optionIndex = 1;
    clearPending();
}

int nextOption(int wordCount, char* const* words, const char* optionString) {
    optionArgument = nullptr;
    if (optionIndex < 1) optionIndex = 1;
    if (optionIndex >= wordCount || words[optionIndex] == nullptr) {
        clearPending();
        return -1;
    }
    const char* word = words[optionIndex];
    if (pendingLetter && pendingWord != word) clearPending();

    if (!pendingLetter) {
        if (!isPrefix(word[0])) return -1;
        if (word[1] == '\0') return -1;
        if (word[1] == word[0]) {
            ++optionIndex;
            if (word[2] == '\0') return -1;
            // "--help" and the like: no end marker, but a request for help.
            optionLetter = word[1];
            return '?';
        }
        pendingLetter = word + 1;
        pendingWord = word;
    }

    const char letter = *pendingLetter++;
    optionLetter = letter;
    const bool wordEnds = *pendingLetter == '\0';
    const char* listed = optionString ? std::strchr(optionString, letter) : nullptr;

    if (isMarker(letter) || listed == nullptr) {
        if (wordEnds) {
            ++optionIndex;
            clearPending();
        }
        complain(words[0], ": illegal option -- ", letter);
        return '?';
    }

    const char kind = listed[1];
    if (!isMarker(kind)) {
        if (wordEnds) {
            ++optionIndex;
            clearPending();
        }
        return letter;
    }

    if (!wordEnds) {
        optionArgument = pendingLetter;
        ++optionIndex;
        clearPending();
        return letter;
    }

    ++optionIndex;
    clearPending();
    const bool wordLeft = optionIndex < wordCount && words[optionIndex] != nullptr;
    if (kind == ':') {
        if (!wordLeft) {
            complain(words[0], ": option requires an argument -- ", letter);
            return '?';
        }
        optionArgument = words[optionIndex++];
        return letter;
    }
    if (wordLeft && !isPrefix(words[optionIndex][0])) optionArgument = words[optionIndex++];
    return letter;
}
