// Internals shared by the library's source files.
#pragma once

namespace ldt_detail {

// ASCII only, whatever the locale: a byte above 127 is never a letter or a
// digit and never reaches the <cctype> functions (undefined for negative
// values).
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
inline char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline int digitValue(char c) { return c - '0'; }

// The upper-case three-letter abbreviation of a name, in the caller's
// buffer: the parser and the formatter use this rather than the public
// abbreviation functions so that they never overwrite a caller's result.
inline void abbreviationOf(const char* name, char (&out)[4]) {
    for (int i = 0; i < 3; ++i) out[i] = upper(name[i]);
    out[3] = '\0';
}

}  // namespace ldt_detail
