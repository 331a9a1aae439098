// The Info-ZIP programs: the program runner, the list file, the zip and
// unzip command lines and the version check.
#pragma once
