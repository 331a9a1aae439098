#include "program_state.h"

#include "settings.h"

#include <cstring>

namespace testing_support {

namespace {
std::vector<LL*>& keptLists() {
    // Never destroyed, so that the leak checker still sees the lists at exit.
    static auto* lists = new std::vector<LL*>;
    return *lists;
}
}  // namespace

LL* newList() {
    keptLists().push_back(CreatLL());
    return keptLists().back();
}

void freshSettings() {
    settings = RunSettings{};
    for (LL** list : {&settings.accountDir, &settings.accountName, &settings.folderDir, &settings.folderName,
                      &settings.beginSubject, &settings.partialSubject, &settings.fromAddress,
                      &settings.toAddress})
        *list = newList();
    filesRead = linesRead = archiveFileCount = messageDots = indexDots = 0;
    archiveBytes = 0;
}

std::vector<IndexEntry> entriesOf(LL* list) {
    std::vector<IndexEntry> out;
    TypedLL<IndexEntry>(list).forEach([&](const IndexEntry& e) { out.push_back(e); });
    return out;
}

std::vector<std::string> stringsOf(LL* list) {
    std::vector<std::string> out;
    for (void* e = FirstLL(list); SizeLL(e) != 0; e = NextLL(e)) out.emplace_back(static_cast<const char*>(e));
    return out;
}

void addString(LL* list, const char* text) { AppendStringLL(list, text); }

void addSelector(LL* list, const char* name, int nested) {
    FolderSelector s{};
    std::strncpy(s.name, name, sizeof s.name - 1);
    s.nested = nested;
    TypedLL<FolderSelector>(list).append(s);
}

}  // namespace testing_support
