// The archiver's fixed sequence: settings, banner, listing or job, sort.
#include "diagnostics.h"
#include "jobs.h"
#include "options.h"
#include "platform.h"
#include "settings.h"
#include "store.h"
#include "store_lock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// What a run that finds the store locked is told of this one.
std::string holderDescription() {
    char started[32];
    if (std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", &settings.nowLocal) == 0) started[0] = '\0';
    return "process " + std::to_string(platform::currentProcessId()) + ", started " + started;
}

}  // namespace

int main(int argc, char** argv) {
    // What the banner says, without a run: nothing is parsed, read or written.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        consoleLinef("%s", productLine);
        consoleLinef("%s", versionLine);
        std::fflush(stdout);
        return 0;
    }
    // Until this run holds the store, backup.bag and archive.tmp there are
    // another run's.
    setWorkFilesOwned(false);
    prepareSettings(argc, argv);

    consoleLinef("\n%s\n\n", productLine);
    consoleLinef("%s\n\n", versionLine);

    if (settings.verbose == 4) {
        resolveAccountNames();
        listSettings();
    }

    if (!enterClientDirectory(settings.velmorDirName)) return 1;

    // /q makes zip and unzip quiet when verbose, and noisy when not.
    settings.zipNoisy = settings.quiet ? settings.verbose == 0 : settings.verbose != 0;

    rememberReportFile();
    if (!platform::installSignalHandler(platform::Signal::interrupt, onInterrupt))
        fatalError(4898, "Cannot set SIG_INT handler");
    if (!platform::installSignalHandler(platform::Signal::breakKey, onInterrupt))
        fatalError(4902, "Cannot set SIG_BREAK handler");
    if (!platform::installSignalHandler(platform::Signal::terminate, onInterrupt))
        fatalError(4906, "Cannot set SIG_TERM handler");
    if (!platform::installSignalHandler(platform::Signal::abort, onInterrupt))
        fatalError(4910, "Cannot set SIG_ABRT handler");

    // One run per store: nothing of it is read or written before this.
    lockStore(holderDescription().c_str());
    setWorkFilesOwned(true);

    switch (settings.job) {
        case jobArchive: archiveJob(); break;
        case jobRestore: runRestore(); break;
        case jobReindex: runReindex(); break;
        case jobList: runListing(); break;
        default: break;
    }

    if (settings.sort) sortAddressBook(settings.velmorDirName, settings.sort);
    // A scheduler must see that messages it expected gone are still there.
    // The one ending routine also stops what the job left running.
    endProcess(messagesKept != 0 ? 1 : 0);
}
