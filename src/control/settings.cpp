#include "settings.h"

RunSettings settings;

int filesRead = 0;
int linesRead = 0;
int archiveFileCount = 0;
long long archiveBytes = 0;
int messageDots = 0;
int indexDots = 0;
int messagesKept = 0;

const char* const productLine = "Velmor Archiver - mail store archiving utility";
const char* const versionLine = "Version 1.09/W  built: Jul 14 1998  11:39:10";
