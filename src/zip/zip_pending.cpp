// Placeholder until the zip interface lands.
#include "zip.h"
