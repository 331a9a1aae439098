// The reader of unzip's archive listing, on any text and on a listing whose
// table lines come from the input. A listing it accepts holds as many
// members as its foot says, each with a name of one line; written back in
// unzip's layout, the members read back the same.
#include "fuzz_support.h"
#include "zip.h"

#include <cinttypes>

namespace {

const char* const head =
    "Archive:  a.zip\n"
    " Length   Method    Size  Cmpr    Date    Time   CRC-32   Name\n"
    "--------  ------  ------- ---- ---------- ----- --------  ----\n";

std::string written(const std::vector<ArchiveMember>& members) {
    std::string text = head;
    char line[128];
    for (const ArchiveMember& m : members) {
        std::snprintf(line, sizeof line, "%8" PRId64 "  Defl:X %8" PRId64 "  50%% 2026-12-08 12:08 %08" PRIx32 "  ",
                      m.size, m.compressedSize, m.crc);
        text += line + m.name + "\n";
    }
    std::snprintf(line, sizeof line, "%zu files\n", members.size());
    return text + "--------          -------  ---                            -------\n       0        0   0%  " + line;
}

void check(const std::string& text) {
    std::vector<ArchiveMember> members;
    if (!parseMemberListing(text, members)) {
        FUZZ_CHECK(members.empty());
        return;
    }
    for (const ArchiveMember& m : members) {
        FUZZ_CHECK(!m.name.empty());
        FUZZ_CHECK(m.name.find('\n') == std::string::npos);
        FUZZ_CHECK(m.size >= 0 && m.compressedSize >= 0);
    }
    std::vector<ArchiveMember> again;
    FUZZ_CHECK(parseMemberListing(written(members), again));
    FUZZ_CHECK(again.size() == members.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
        FUZZ_CHECK(again[i].name == members[i].name);
        FUZZ_CHECK(again[i].size == members[i].size && again[i].crc == members[i].crc);
        FUZZ_CHECK(again[i].compressedSize == members[i].compressedSize);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check(input);
    // The input as the lines of a table, with its foot counting them.
    std::size_t lines = 0;
    for (char c : input) lines += c == '\n';
    check(std::string(head) + input + "--------          -------  ---                            -------\n" +
          "       0        0   0%  " + std::to_string(lines) + " files\n");
    return 0;
}
