#include "list_entries.h"

#include "settings.h"

#include <cstdio>

bool appendListEntry(LL* list, ListEntry kind, int commandLineCount, bool fromConfig, const char* entry) {
    if (fromConfig && commandLineCount != 0) return false;
    if (kind == ListEntry::text) {
        AppendStringLL(list, entry);
        return true;
    }
    FolderSelector selector{};
    std::snprintf(selector.name, sizeof selector.name, "%s", entry);
    selector.nested = settings.nestedFolders ? 1 : 0;
    AppendLL(list, sizeof selector, &selector);
    return true;
}
