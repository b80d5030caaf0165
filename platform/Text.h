#pragma once
// Small text helpers shared by every parser and writer of the program's files.

#include <cstdarg>
#include <string>
#include <string_view>

namespace quelt {

std::string trim(std::string_view text);
std::string toUpper(std::string_view text);
bool equalsNoCase(std::string_view a, std::string_view b);

// printf-style formatting into a std::string (the program's texts are printf formats).
std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* fmt, va_list args);

// "%g" of a value, as the C library writes it in the "C" numeric locale.
std::string formatG(double value);

// Leading decimal integer of a text, as atoi reads it: blanks, sign, digits; no digits gives 0.
int parseLeadingInt(std::string_view text);
// Leading decimal real of a text with a decimal point, as atof reads it; nothing readable gives 0.
double parseLeadingDouble(std::string_view text);

// Truncation toward zero that forgives the binary error of a decimal product: 100 m x 3.28083 x 1000
// is 328083, not 328082.99999999994 cut to 328082. Values within a millionth of an integer count as it.
double truncTolerant(double x);

// Half away from zero, used for depths in hundredths and thousandths and for angles.
double roundHalfAway(double x);

}  // namespace quelt
