// Text utilities that the parser and the formatter are built from.
#include "ldt.h"

#include "ldt_detail.h"

#include <algorithm>
#include <cstring>

using ldt_detail::upper;

int ldtCompare(int mode, const char* text, const char* name) {
    if (mode < 1 || mode > 4) mode = 1;
    const bool ignoreCase = mode == 2 || mode == 4;
    const bool prefixOnly = mode >= 3;
    if (!text) text = "";
    if (!name) name = "";
    for (std::size_t i = 0;; ++i) {
        char t = text[i];
        char n = name[i];
        if (ignoreCase) {
            t = upper(t);
            n = upper(n);
        }
        const int difference = static_cast<unsigned char>(n) - static_cast<unsigned char>(t);
        if (n == '\0') return prefixOnly ? 0 : difference;
        if (difference != 0) return difference;
    }
}

int ldtInsertChar(char* buffer, std::size_t capacity, char character, int position) {
    if (!buffer || capacity == 0) return ldtErrCharPosition;
    const std::size_t length = strnlen(buffer, capacity);
    if (length == capacity || length + 2 > capacity) return ldtErrCharPosition;
    if (position == 0) position = static_cast<int>(length) + 1;
    if (position < 1 || static_cast<std::size_t>(position) > length + 1) return ldtErrCharPosition;
    const std::size_t at = static_cast<std::size_t>(position) - 1;
    std::memmove(buffer + at + 1, buffer + at, length - at + 1);
    buffer[at] = character;
    return ldtOk;
}

int ldtDeleteChar(char* text, int position) {
    if (!text) return ldtErrCharPosition;
    const std::size_t length = std::strlen(text);
    if (length == 0) return ldtErrCharPosition;
    if (position == 0) position = static_cast<int>(std::min<std::size_t>(length, 2147483647));
    if (position < 1 || static_cast<std::size_t>(position) > length) return ldtErrCharPosition;
    const std::size_t at = static_cast<std::size_t>(position) - 1;
    std::memmove(text + at, text + at + 1, length - at);
    return ldtOk;
}

int ldtFindChar(const char* text, char character, int last) {
    if (!text || character == '\0') return 0;
    std::size_t found = 0;
    for (std::size_t i = 0; text[i] != '\0'; ++i) {
        if (text[i] != character) continue;
        found = i + 1;
        if (last != 1) break;
    }
    return static_cast<int>(std::min<std::size_t>(found, 2147483647));
}

void ldtTrim(int mode, char* text, char character) {
    if (!text || character == '\0' || mode < 1 || mode > 3) return;
    std::size_t length = std::strlen(text);
    if (mode == 2 || mode == 3) {
        while (length > 0 && text[length - 1] == character) --length;
        text[length] = '\0';
    }
    if (mode == 1 || mode == 3) {
        std::size_t lead = 0;
        while (lead < length && text[lead] == character) ++lead;
        std::memmove(text, text + lead, length - lead + 1);
    }
}

int ldtPad(int mode, char* buffer, int size) {
    if (!buffer || mode < 1 || mode > 3 || size < 1) return ldtErrPadArgument;
    const std::size_t last = static_cast<std::size_t>(size) - 1;  // index of the final byte
    if (mode == 1) {
        std::memset(buffer, ' ', last);
        buffer[last] = '\0';
        return ldtOk;
    }
    const std::size_t length = strnlen(buffer, static_cast<std::size_t>(size));
    if (length >= last) return ldtOk;
    if (mode == 2) {
        std::memset(buffer + length + 1, ' ', last - length - 1);
    } else {
        std::memset(buffer + length, ' ', last - length);
        buffer[last] = '\0';
    }
    return ldtOk;
}

void ldtJustify(int mode, char* text) {
    if (!text || mode < 1 || mode > 3) return;
    const std::size_t length = std::strlen(text);
    char* end = text + length;
    auto leadingBlanks = [&] {
        const char* first = std::find_if(text, end, [](char c) { return c != ' '; });
        return static_cast<std::size_t>(first - text);
    };
    if (leadingBlanks() == length) return;  // blanks only (or empty)
    if (mode == 1) {
        std::rotate(text, text + leadingBlanks(), end);
        return;
    }
    std::size_t trailing = 0;
    while (text[length - 1 - trailing] == ' ') ++trailing;
    std::rotate(text, end - trailing, end);
    if (mode == 2) {
        const std::size_t n = leadingBlanks();
        std::rotate(text, text + (n - n / 2), end);
    }
}
