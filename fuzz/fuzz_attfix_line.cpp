// The attfix line rewrite, on the input as one line and in the pieces the
// file rewrite hands it. Properties: the result says truthfully whether the
// line changed; a change only removes one run of bytes that ends in a
// directory separator (the rest stays byte for byte); a rewritten line
// keeps its header prefix.
#include "attfix_rewrite.h"
#include "fuzz_support.h"

#include <cctype>

namespace {

void checkOne(const std::string& original) {
    std::string line = original;
    const bool changed = attfix::fixAttachmentLine(line);
    FUZZ_CHECK(changed == (line != original));
    if (!changed) return;
    FUZZ_CHECK(line.size() < original.size());
    const std::size_t removed = original.size() - line.size();
    bool found = false;
    for (std::size_t start = 0; start + removed <= original.size() && !found; ++start) {
        const char last = original[start + removed - 1];
        if ((last == '\\' || last == '/') && original.compare(0, start, line, 0, start) == 0 &&
            original.compare(start + removed, std::string::npos, line, start, std::string::npos) == 0)
            found = true;
    }
    FUZZ_CHECK(found);
    FUZZ_CHECK(line.compare(0, 7, original, 0, 7) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    checkOne(input);
    for (std::size_t start = 0; start < input.size(); start += attfix::kPieceLength)
        checkOne(input.substr(start, attfix::kPieceLength));
    // findNoCase agrees with a plain search after upper-casing both.
    if (size > 2) {
        const std::string needle = input.substr(0, size % 5);
        std::string upLine = input, upNeedle = needle;
        for (char& c : upLine) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : upNeedle) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        FUZZ_CHECK(attfix::findNoCase(input, needle, 1) == upLine.find(upNeedle, 1));
    }
    return 0;
}
