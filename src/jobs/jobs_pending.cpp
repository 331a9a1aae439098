// Placeholders until the jobs land.
#include "jobs.h"

#include <cstdio>

void archiveJob() { std::printf("The archive job is not built yet.\n"); }
void runRestore() { std::printf("The restore job is not built yet.\n"); }
void runReindex() { std::printf("The reindex job is not built yet.\n"); }
