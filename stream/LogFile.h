#pragma once
// An open log: its header, the layout of its data lines and a reader of its data file. Opening checks
// the pair, refuses what cannot be read safely with a plain message, and repairs the header of a
// recording that never ended from the lines its data file holds.

#include <cstdint>
#include <memory>
#include <string>

#include "config/Header.h"
#include "platform/Operator.h"
#include "stream/DataFile.h"
#include "stream/DataLine.h"

namespace quelt {

// The layout of the data lines a header declares (channels in order, running offsets).
LineLayout layoutFromHeader(const LogHeader& header);

// The data file beside a header: the header's folder and base name with ".viv" (an existing file is
// matched without regard to case, so "RUN1.VIV" is found for "run1.hed").
std::string dataPathForHeader(const std::string& headerPath);

// How far (thousandths of the depth unit) the start and end depths of a header may lie from the depths
// of the first and last lines of its data file: one metre or one foot.
inline constexpr std::int64_t kHeaderDepthSlack = 1000;

// Why the header's start and end depths do not describe the lines of its data file; empty when they
// do (or the file holds no line). Exports size their output from these depths.
std::string checkDepthsAgainstLines(const LogHeader& header, const DataFileReader& reader);

struct OpenedLog {
    std::string headerPath;
    std::string dataPath;
    LineLayout layout;
    DataFileReader reader;
    bool repaired = false;  // the header was marked corrupt and has been repaired
};

enum class OpenLogResult {
    Ok,
    BadHeaderName,     // "Bad header file."
    NoDataFile,        // "Data file not present." and the path looked for
    HeaderUnreadable,  // the header could not be read
    BadLayout,         // the header's line layout cannot be read safely
    DataUnreadable,    // "Trouble opening file."
};

// Opens a log for replay as "Open and &Play" does after the file was chosen: checks, header read into
// `headerIo.header()` (marked corrupt until read), the repair, the data file opened. Messages go to
// `op`. With `repair` false the header file is never written (inspection only).
OpenLogResult openLog(const std::string& headerPath, CHeader& headerIo, Operator& op, OpenedLog& out,
                      bool repair = true);

}  // namespace quelt
