// Splitting one line of archive.cfg into words.
//
// Blanks, tabs, carriage returns and line feeds separate words. A word that
// begins with a single or a double quote runs to the next quote of the same
// kind (or to the end of the line when there is none); the quotes are not
// part of it, blanks inside are, and it is a word even when empty. An
// unquoted word also ends at a quote, which then begins a quoted word.
// Every byte that is none of these is part of a word, binary bytes too.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> splitConfigLine(const std::string& line);
