// The program's command line, as the platform hands it over in one piece.
#pragma once

#include <string>
#include <vector>

// The arguments of `line` by the C runtime's rules, the program name first:
// blanks (spaces, tabs) part arguments outside quotes; 2n backslashes before
// a quote give n and the quote opens or closes quoting, 2n+1 give n and a
// literal quote; a quote doubled inside quotes is a literal one; other
// backslashes are literal. The program name ends at the next blank, or when it
// begins with a quote at the next quote, without escapes.
std::vector<std::string> CommandLineArguments(const char* line);
