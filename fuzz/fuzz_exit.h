// The documented ends of a run (a numbered fatal error, the usage text)
// come back to the harness as an exception instead of ending the fuzzer.
#pragma once

#include "diagnostics.h"
#include "fuzz_support.h"

namespace fuzz {

struct ProcessEnded {
    int status;
};

[[noreturn]] inline void throwProcessEnded(int status) { throw ProcessEnded{status}; }

inline void interceptProcessEnd() { endProcessHook = throwProcessEnded; }

}  // namespace fuzz
