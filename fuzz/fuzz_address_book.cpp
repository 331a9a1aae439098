// The address book reader on addr.db bytes, for every sort column (and
// columns beyond the record's fields). Properties: the records, joined by
// line feeds, are the input less its line ends; each key is the named field
// of its own line.
#include "address_book.h"
#include "fuzz_support.h"

namespace {

constexpr char separator = '\xDE';

// The lines as a reader of text lines would see them.
std::vector<std::string_view> expectedLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

std::string_view field(std::string_view line, int column) {
    for (int i = 0; i < column; ++i) {
        std::size_t sep = line.find(separator);
        if (sep == std::string_view::npos) return {};
        line.remove_prefix(sep + 1);
    }
    return line.substr(0, line.find(separator));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static LL* list = CreatLL();
    const int column = data[0] % 30;
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    ClearLL(list);
    TypedLL<AddressRecord> records(list);
    readAddressBookRecords(bytes, column, records);

    const std::vector<std::string_view> lines = expectedLines(bytes);
    FUZZ_CHECK(records.count() == static_cast<int>(lines.size()));
    std::size_t i = 0;
    records.forEach([&](const AddressRecord& r) {
        FUZZ_CHECK(r.line >= bytes.data() && r.line + r.lineLength <= bytes.data() + bytes.size());
        const std::string_view line(r.line, r.lineLength);
        FUZZ_CHECK(line == lines[i]);
        FUZZ_CHECK(r.keyOffset + r.keyLength <= r.lineLength);
        FUZZ_CHECK(line.substr(r.keyOffset, r.keyLength) == field(line, column));
        ++i;
    });
    ClearLL(list);
    return 0;
}
