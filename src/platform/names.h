// Names as the store's file system compares them: letter case ignored,
// DOS wildcards. Pure functions, shared by the implementations.
#pragma once

#include <string>

namespace platform {

char foldCase(char c);
bool equalIgnoringCase(const std::string& a, const std::string& b);
// Name order of directory listings: case ignored, ties by bytes.
bool lessIgnoringCase(const std::string& a, const std::string& b);

// DOS wildcard match without regard to case: "*" any run, "?" one
// character; "*.*" matches every name, also one without a dot.
bool wildcardMatch(const std::string& pattern, const std::string& name);

// True for a name that begins with "\", "/" or a drive ("D:").
bool isAbsolutePath(const std::string& path);
bool hasDrivePrefix(const std::string& path);
inline bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace platform
