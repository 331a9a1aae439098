// Stores for the fault tests, runs of their jobs that can be interrupted
// or broken at chosen points, and the check of what a run must never do to
// a store, however it ends.
#pragma once

#include "test_support.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace faults {

using Files = std::map<std::string, std::string>;

// The jobs the tests break.
enum class Job { archive, reindex, restore, restoreOriginal, sort };
const char* jobName(Job job);
std::vector<std::string> jobArguments(Job job);

using testing_support::RunOptions;
using testing_support::RunResult;

// How these tests run the archiver: in a process group of its own, so that
// nothing it started changes the store while it is checked; a minute at
// most. `env` holds NAME=value entries added to ours.
RunOptions jobRun(std::vector<std::string> env = {});

// A client tree: <root>/velmor is the main directory, <root>/tools holds the
// address book. Built the same way every time, so that a second tree
// built alike shows what a clean run makes of the first.
class FaultStore {
public:
    explicit FaultStore(Job job);
    Job job() const { return job_; }
    const std::string& root() const { return dir_.path(); }
    std::string mainDir() const { return dir_ / "velmor"; }
    std::string archive() const { return mainDir() + "/ARCHIV00.zip"; }
    // The whole tree as it is now (paths relative to root()).
    Files files() const { return testing_support::snapshot(root()); }

private:
    Job job_;
    testing_support::TempDir dir_;
};

// The store's job, run in its main directory.
RunResult runJob(const FaultStore& store, const RunOptions& options = jobRun());
// runJob with stand-ins for zip or unzip in `bin` first on PATH, signalled
// after `signalAfterMs` when that is not -1; half a minute at most.
RunResult runWithStandIns(const FaultStore& store, const std::string& bin, int signalAfterMs = -1, int sig = 0);

// Before and after of a clean run of one job, on a tree of its own.
struct Reference {
    Files before;
    Files after;
    std::vector<std::string> archiveMembers;  // of the archive the tree holds (restore)
};
const Reference& referenceFor(Job job);

enum class Ending {
    handled,  // the program ended by itself (error, interrupt handler): nothing of its own stays
    killed,   // kill -9: the list file, backup.bag and unpublished temporaries may stay
};

// Every failure found, one line each; empty when the tree is sound:
// every message is on disk as it was, or in the archive that lists it with
// the same bytes; settings files are untouched; every folder.bag and the
// address book are one of the versions a clean run passes through, never a
// torn one; no file of the program is left behind (with `handled`).
// `partialExtractMayStay`: unzip itself was interrupted while it wrote a
// file the restore had not yet indexed; that one file may be short.
std::vector<std::string> checkTree(const FaultStore& store, const RunResult& run, Ending ending,
                                   bool listFileMayStay = false, bool partialExtractMayStay = false);

// The exit must tell: 0, or 1 with a numbered message on standard error
// (the address book sort fails without one, as it always has).
std::string checkExit(Job job, const RunResult& run);

// How many points a run has through the shim: the counted calls of a clean
// run. 0 in a build without the shim.
// `extraEnv`: shim settings that change what the run does (and so its count).
long countedCalls(Job job, const std::string& kinds = "", const std::vector<std::string>& extraEnv = {});

// Writes a stand-in for zip or unzip, `name`, into `bin`: its version check
// (-h) is the real program's; `body`, a shell script with $real naming the
// real program, does the rest.
void writeStandInScript(const std::string& bin, const std::string& name, const std::string& body);

bool shimAvailable();
std::string shimEnv();  // "LD_PRELOAD=<shim>"

// Points to try out of 1..total: all of them up to `cap`, else `cap`
// points spread evenly, shifted by a seed. FAULT_POINTS raises the cap.
std::vector<long> choosePoints(long total, long cap, unsigned seed);
long pointCap(long fallback);

// Counts kept for docs/guarantees.md; printed by each test that sweeps.
void recordPoints(const std::string& what, long tried);

}  // namespace faults
