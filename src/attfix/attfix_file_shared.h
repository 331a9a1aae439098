// What attfix's file layer asks of each system: plain calls on an open
// file (a descriptor or a HANDLE; -1 when none), each returning 0 or the
// reason of its failure as an errno value, so that both systems tell it in
// the C runtime's words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace attfix {

constexpr std::intptr_t noFile = -1;

// Creates (truncates) `name` for writing; noFile when that fails.
std::intptr_t createTruncated(const char* name);
// Up to `size` bytes into `buffer`, their count in `got` (0 at the end).
int readBytes(std::intptr_t file, char* buffer, std::size_t size, std::size_t& got);
// All of `size` bytes.
int writeBytes(std::intptr_t file, const char* data, std::size_t size);
// Puts what was written on the disk.
int syncToDisk(std::intptr_t file);
int closeFile(std::intptr_t file);
// Renames `from` over `to` in one step.
int renameOver(const std::string& from, const std::string& to);

// Records the reason of a failed call, and the test seam that makes
// `operation` fail as if refused (noting the reason).
void noteFailure(int error);
bool injectedFailure(const char* operation);

}  // namespace attfix
