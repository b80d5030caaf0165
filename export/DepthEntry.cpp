#include "export/DepthEntry.h"

#include <algorithm>
#include <cmath>

#include "platform/Text.h"

namespace quelt {

DepthEntryFault checkDepthEntry(double value, double first, double last, double otherEnd, bool down,
                                bool isFrom) {
    if (!std::isfinite(value)) return DepthEntryFault::OutOfRange;
    auto hundredths = [](double x) { return roundHalfAway(x * 100.0); };
    const double h = hundredths(value);
    if (h < std::min(hundredths(first), hundredths(last)) ||
        h > std::max(hundredths(first), hundredths(last)))
        return DepthEntryFault::OutOfRange;
    const double other = hundredths(otherEnd);
    // From lies before To in the logging direction.
    const bool wrong = isFrom == down ? h > other : h < other;
    return wrong ? DepthEntryFault::WrongOrder : DepthEntryFault::None;
}

}  // namespace quelt
