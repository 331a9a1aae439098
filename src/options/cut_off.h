// The date, time and age cut-offs shared by the options and archive.cfg.
#pragma once

// A date as the user types it, tried in a fixed order of layouts; a date
// without a year lands in 2000. False when no layout fits. `layout`, when
// given, receives the format code that read it.
bool parseUserDate(const char* text, int& year, int& month, int& day, int* layout = nullptr);
// "hh:mm" and friends on the 24-hour clock; false when it is no time.
bool parseUserTime(const char* text, int& seconds);

// Change the cut-off fields and recompute dateCutOffTime.
void setCutOffDate(int year, int month, int day);
void setCutOffTime(int seconds);

// Once the settings are complete, for a job that selects by the date
// cut-off: a two-digit year is read month or day first where that makes a
// date, and always in this century, so the date taken may not be the one
// the user meant. A run that would delete by such a date is refused (when
// the text reads as another date year first, or the date lies after
// today); any other run says how the date was read and goes on.
void checkDateCutOff(bool deletes);

// Decimal value of the leading digits of `text`, capped instead of
// overflowing (a count of days or kilobytes has no use beyond that).
int leadingNumber(const char* text);
