#pragma once
// An open log: its header, the layout of its data lines and a reader of its data file. Opening checks
// the pair, refuses what cannot be read safely with a plain message, and repairs the header of a
// recording that never ended from the lines its data file holds.

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
