// The date, time and age cut-offs shared by the options and archive.cfg.
#pragma once

// A date as the user types it, tried in a fixed order of layouts; a date
// without a year lands in 2000. False when no layout fits.
bool parseUserDate(const char* text, int& year, int& month, int& day);
// "hh:mm" and friends on the 24-hour clock; false when it is no time.
bool parseUserTime(const char* text, int& seconds);

// Change the cut-off fields and recompute dateCutOffTime.
void setCutOffDate(int year, int month, int day);
void setCutOffTime(int seconds);

// Decimal value of the leading digits of `text`, capped instead of
// overflowing (a count of days or kilobytes has no use beyond that).
int leadingNumber(const char* text);
