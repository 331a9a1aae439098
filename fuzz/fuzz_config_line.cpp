// The configuration line splitter. Property: the words, each written back
// in quotes, split into the same words again, so nothing is lost, merged
// or invented.
#include "config_line.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = splitConfigLine(line);
    std::size_t total = 0;
    std::string joined;
    for (const std::string& w : words) {
        total += w.size();
        // A word holds at most one kind of quote: an unquoted one none, a
        // quoted one never its own.
        const bool hasDouble = w.find('"') != std::string::npos;
        FUZZ_CHECK(!(hasDouble && w.find('\'') != std::string::npos));
        const char quote = hasDouble ? '\'' : '"';
        joined += quote;
        joined += w;
        joined += quote;
        joined += ' ';
    }
    FUZZ_CHECK(total <= line.size());
    FUZZ_CHECK(splitConfigLine(joined) == words);
    return 0;
}
