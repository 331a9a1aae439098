#include "settings.h"

#include "product.h"

RunSettings settings;

int filesRead = 0;
int linesRead = 0;
int archiveFileCount = 0;
long long archiveBytes = 0;
int messageDots = 0;
int indexDots = 0;
int messagesKept = 0;

const char* const productLine = VELMOR_PRODUCT_LINE;
const char* const versionLine = VELMOR_VERSION_LINE;
