// Placeholder until the store lands.
#include "store.h"

void resolveAccountNames() {}
