#include "file_crc.h"

#include "platform.h"

#include <cstdio>
#include <vector>
#include <zlib.h>

std::uint32_t bytesCrc32(const std::string& bytes) {
    uLong sum = crc32(0L, Z_NULL, 0);
    // zlib takes at most 4 GB a call; a link's text is far shorter.
    sum = crc32(sum, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    return static_cast<std::uint32_t>(sum);
}

bool fileCrc32(const std::string& path, std::uint32_t& crc, std::int64_t& size) {
    std::FILE* in = platform::openFile(path, "rb");
    if (!in) return false;
    // Unbuffered: the block below is the one buffer, one read per block.
    std::setvbuf(in, nullptr, _IONBF, 0);
    std::vector<unsigned char> block(64 * 1024);
    uLong sum = crc32(0L, Z_NULL, 0);
    std::int64_t total = 0;
    std::size_t got;
    while ((got = std::fread(block.data(), 1, block.size(), in)) > 0) {
        sum = crc32(sum, block.data(), static_cast<uInt>(got));
        total += static_cast<std::int64_t>(got);
    }
    const bool whole = !std::ferror(in);
    std::fclose(in);
    if (!whole) return false;
    crc = static_cast<std::uint32_t>(sum);
    size = total;
    return true;
}
