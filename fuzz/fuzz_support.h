// Shared by the harnesses: a private working directory, file helpers and
// the interception of the program's documented ends.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace fuzz {

// A fresh directory under the system's temporary directory, made the
// current one for the whole run, so that whatever the code under test
// writes or removes by a relative name ("backup.bag", report files) stays
// in it. Removed when the process ends normally.
inline const std::filesystem::path& sandbox() {
    static const std::filesystem::path dir = [] {
        namespace fs = std::filesystem;
        std::random_device seed;
        fs::path base = fs::temp_directory_path();
        for (;;) {
            fs::path candidate = base / ("archiver-fuzz-" + std::to_string(seed()));
            if (fs::create_directory(candidate)) {
                fs::current_path(candidate);
                static const fs::path removeAtExit = candidate;
                std::atexit([] {
                    std::error_code ignored;
                    fs::current_path(fs::temp_directory_path(), ignored);
                    fs::remove_all(removeAtExit, ignored);
                });
                return candidate;
            }
        }
    }();
    return dir;
}

// Back into the sandbox, whatever the code under test made current.
inline void enterSandbox() { std::filesystem::current_path(sandbox()); }

inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();  // the harness itself failed, not the code under test
}

// An empty directory `name` inside the sandbox.
inline std::filesystem::path freshDirectory(const std::string& name) {
    std::filesystem::path dir = sandbox() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directory(dir);
    return dir;
}

// Splits at NUL bytes; an input without one is a single word.
inline std::vector<std::string> splitAtNul(std::string_view bytes) {
    std::vector<std::string> words;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = bytes.find('\0', start);
        words.emplace_back(bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return words;
        start = end + 1;
    }
}

// The standard error of the start, kept before the fuzzer is told to close
// it (-close_fd_mask), so that a broken property is still reported.
inline const int reportDescriptor = ::dup(2);

[[noreturn]] inline void propertyFailed(const char* file, int line, const char* condition) {
    char text[512];
    int n = std::snprintf(text, sizeof text, "%s:%d: property failed: %s\n", file, line, condition);
    if (n > 0 && ::write(reportDescriptor, text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1)) < 0) {
    }
    std::abort();  // the fuzzer saves the input as a crash
}

// Stops a harness on a broken property.
#define FUZZ_CHECK(condition) \
    do {                      \
        if (!(condition)) ::fuzz::propertyFailed(__FILE__, __LINE__, #condition); \
    } while (0)

}  // namespace fuzz
