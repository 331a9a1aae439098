// The CRC-32 of a whole file, as zip stores it for each member. The one
// place that uses zlib, so that a build for another system links it here
// and nowhere else.
#pragma once

#include <cstdint>
#include <string>

// Reads the file at store path `path` to its end. True with its CRC-32 and
// the number of bytes read; false when it cannot be opened or a read fails.
// Safe to call from several threads at once.
bool fileCrc32(const std::string& path, std::uint32_t& crc, std::int64_t& size);
// The CRC-32 of `bytes`.
std::uint32_t bytesCrc32(const std::string& bytes);
