// Numbered archive and report file names.
#include "options.h"

#include "diagnostics.h"
#include "platform.h"
#include "settings.h"
#include "util.h"

#include <string>

namespace {

bool endsInZip(const std::string& text) {
    return text.size() >= 4 && equalNoCase(std::string_view(text).substr(text.size() - 4), ".zip");
}

// A name as the numbering sees it: the text before the first "?", a number
// field as wide as there were question marks, and the rest without them.
struct NamePattern {
    std::string before;
    std::string after;
    int digits = 0;

    std::string with(int number) const {
        if (digits == 0) return before;
        std::string field = std::to_string(number);
        if (field.size() < static_cast<std::size_t>(digits)) field.insert(0, digits - field.size(), '0');
        return before + field + after;
    }
};

NamePattern patternOf(const char* name) {
    NamePattern p;
    for (const char* c = name; *c; ++c) {
        if (*c == '?') {
            ++p.digits;
        } else {
            (p.digits == 0 ? p.before : p.after) += *c;
        }
    }
    return p;
}

// The archive's name as given, question marks and all, for numbering it
// again when another run claims the number first.
std::string archivePattern;

[[noreturn]] void archiveFileExists() { fatalError(2012, "Archive file already exists!"); }

// An empty zip archive: its end record alone, a signature and eighteen
// zero bytes. zip adds to it as to any archive, so the claimed name is the
// archive zip writes.
std::string emptyArchive() {
    std::string record(22, '\0');
    record.replace(0, 4, "PK\x05\x06");
    return record;
}

}  // namespace

std::string archiveFilePath(const char* name) {
    std::string n = name ? name : "";
    if (platform::isAbsolutePath(n)) return n;
    return std::string(settings.startDir ? settings.startDir : ".") + "/" + n;
}

void numberFileName(NumberedName which) {
    const bool archive = which == NumberedName::archiveFile;
    const char* current = archive ? settings.archiveFile : settings.outputFileName;
    if (!current) return;

    NamePattern pattern = patternOf(current);
    if (archive && pattern.digits > 0) archivePattern = current;
    // Only the archive gets its suffix; the number field itself never ends
    // in ".zip", so a name ending in question marks gets one too.
    if (archive && !endsInZip(pattern.digits == 0 ? pattern.before : pattern.after)) {
        (pattern.digits == 0 ? pattern.before : pattern.after) += ".zip";
    }

    // An archive is looked for where zip will write it, a report file where
    // it will be opened.
    auto taken = [archive](const std::string& candidate) {
        return platform::fileExists(archive ? archiveFilePath(candidate.c_str()) : candidate);
    };

    std::string name = pattern.with(0);
    if (pattern.digits > 0) {
        for (int j = 0; j <= 99; ++j) {
            name = pattern.with(j);
            if (!taken(name)) break;
        }
    }
    if (taken(name)) {
        if (archive) archiveFileExists();
        fatalError(1355, "Output file already exists!");
    }

    const char* kept = keepString(name);
    if (archive) {
        settings.archiveFile = kept;
    } else {
        settings.outputFileName = kept;
        rememberReportFile();
    }
    if (pattern.digits > 0 && settings.verbose != 0) {
        if (archive) {
            consoleLinef("Archive file: %s", kept);
        } else {
            consoleLinef("Output file: %s", kept);
        }
    }
}

int claimArchiveFile() {
    for (;;) {
        const std::string path = archiveFilePath(settings.archiveFile);
        bool exists = false;
        int slot = -1;
        const platform::Error error =
            platform::claimFile(path, emptyArchive(), exists, slot);
        if (!error) return slot;
        if (!exists) fatalError(2013, "Error [%d] creating the archive file %s", error.number, path.c_str());
        // Made since the start of the run: a named archive is another
        // run's, and a numbered one takes the next free number.
        if (archivePattern.empty()) archiveFileExists();
        settings.archiveFile = keepString(archivePattern);
        numberFileName(NumberedName::archiveFile);
    }
}
