#pragma once
// The check of a From or To depth typed for an export (LAS, resampling): inside the log's range and on
// the right side of the other end in the logging direction, compared in hundredths of the log unit.

namespace quelt {

enum class DepthEntryFault {
    None,
    OutOfRange,  // outside first..last, or not a finite number
    WrongOrder,  // on the wrong side of the other end of the range
};

// `value` is the entry in the log's unit, `otherEnd` the current other end of the range; `down` when
// the log runs from shallow to deep.
DepthEntryFault checkDepthEntry(double value, double first, double last, double otherEnd, bool down,
                                bool isFrom);

}  // namespace quelt
