// Placeholder until option processing lands.
#include "options.h"

#include "diagnostics.h"
#include "settings.h"

#include <cstdio>
#include <cstdlib>

void prepareSettings(int, char**) {
    std::printf("Option processing is not built yet.\n");
    std::exit(1);
}

bool enterClientDirectory(const char*) { return false; }

void listSettings() { std::exit(0); }
