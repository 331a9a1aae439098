#include "config_line.h"

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isQuote(char c) { return c == '\'' || c == '"'; }

}  // namespace

std::vector<std::string> splitConfigLine(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = line.size();
    for (;;) {
        while (i < n && isSeparator(line[i])) ++i;
        if (i >= n) break;
        if (isQuote(line[i])) {
            const char quote = line[i++];
            std::size_t close = line.find(quote, i);
            if (close == std::string::npos) close = n;
            words.push_back(line.substr(i, close - i));
            i = close < n ? close + 1 : n;
            continue;
        }
        std::size_t end = i;
        while (end < n && !isSeparator(line[end]) && !isQuote(line[end])) ++end;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    return words;
}
