#pragma once
// What the header editor does to the well information of a LogHeader, without a window: the reset
// values, the formats of its fields, the remarks box and the reading of typed numbers.

#include <ctime>
#include <optional>
#include <string>

#include "config/Header.h"
#include "config/Settings.h"

namespace quelt::ui {

enum class FieldFormat { Text, Integer, Real2, Real3, Real3Dash };

// One edit box of a page and the WellInfo key it edits.
struct HeaderField {
    const char* caption;  // "" for the further boxes of one caption
    const char* key;
    FieldFormat format;
};

// "%d %B %Y" in English ("07 March 2026").
std::string englishDate(std::time_t when);

// The values "&Reset" puts into the header: the acquisition numbers of a new log, every text empty
// but the sonde abbreviation and today's date, every real 0.0, run numbers 0, metres, step 1.
void resetHeader(LogHeader& header, const Settings& settings, std::time_t today);

// The text of a field as its box shows it: reals with their decimals, "-" for a dash field holding 0.
std::string fieldText(const LogHeader& header, const HeaderField& field);
// Stores the text of a box; false (nothing changed) when a number field holds a character that is
// not part of a number. Texts are copied as typed.
bool storeField(LogHeader& header, const HeaderField& field, const std::string& text);

// The remarks box: Comment1, then every further non-empty comment on its own line.
std::string commentsText(const LogHeader& header);
// Empties the ten comments, then stores the box's lines in order; lines after the tenth are dropped.
void storeComments(LogHeader& header, const std::string& text);

// The number entries of the dialogs: at most 19 characters read; a text with a character outside
// "-0123456789" (integers) or "-0123456789,." (reals) is refused; an empty text reads 0.
std::optional<int> readEntryInt(const std::string& text);
std::optional<double> readEntryReal(const std::string& text);
inline constexpr const char* kEnterNumber = "Please enter a number.";

// Copies the well information read from another header (every WellInfo key but the sonde
// abbreviation).
void copyWellInfo(const LogHeader& from, LogHeader& to);

}  // namespace quelt::ui
