// The option scanner over a word list: the input split at NUL bytes. The
// first byte picks the setting: the archiver's own option string, prefixes
// and optional-argument marker, or an option string taken from the first
// word with plain or archiver prefixes.
//
// Properties: the scan ends, and within one call per letter and word;
// optionIndex only moves forward and stays within the list; an argument is
// always a tail of one of the words; a returned letter is listed.
#include "fuzz_support.h"
#include "option_scanner.h"

#include <cstring>

namespace {

const char* const archiverOptions = "?rRNnIqQop:a:b:f:G:A:d:D:t:s:S:F:T:V:Z:c:i%:O%";

bool insideSomeWord(const char* p, const std::vector<std::string>& words) {
    for (const std::string& w : words)
        if (p >= w.c_str() && p <= w.c_str() + w.size()) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const int mode = data[0] % 3;
    std::vector<std::string> words =
        fuzz::splitAtNul(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    std::string optionString = archiverOptions;
    if (mode != 0) {
        optionString = words.front();
        words.erase(words.begin());
        if (words.empty()) return 0;
    }
    optionPrefixes = mode == 1 ? "-" : "-/+";
    optionalArgumentMarker = mode == 1 ? 0 : '%';

    std::vector<char*> list;
    for (std::string& w : words) list.push_back(w.data());
    const int count = static_cast<int>(list.size());
    list.push_back(nullptr);

    std::size_t letters = 0;
    for (const std::string& w : words) letters += w.size() + 1;
    startOptionScan();
    int previousIndex = optionIndex;
    for (std::size_t calls = 0;; ++calls) {
        FUZZ_CHECK(calls <= letters);
        const int letter = nextOption(count, list.data(), optionString.c_str());
        FUZZ_CHECK(optionIndex >= previousIndex && optionIndex >= 1 && optionIndex <= count);
        previousIndex = optionIndex;
        if (letter == -1) break;
        if (optionArgument) FUZZ_CHECK(insideSomeWord(optionArgument, words));
        if (letter != '?') {
            FUZZ_CHECK(letter == optionLetter);
            FUZZ_CHECK(letter != 0 && letter != ':' && std::strchr(optionString.c_str(), letter) != nullptr);
        }
    }
    return 0;
}
