#pragma once
// The uphole communication speeds (by baud divisor), the uphole drive maximum of each speed and the
// minimum motor period by picture resolution and speed.

#include <cstddef>
#include <vector>

namespace quelt {

struct SpeedEntry {
    const char* text;  // bits per second, "312500" ...
    int divisor;       // UpBaudDivisor
};

constexpr std::size_t kSpeedCount = 12;
constexpr std::size_t kHighSpeedCount = 9;  // a high-speed sonde is offered the first nine only
constexpr int kMaxMotorPeriod = 127;
constexpr int kMinUpholeDrive = 5;

// The twelve entries in list order.
const SpeedEntry* speedTable();
// The list offered for a sonde: twelve entries, or nine for a high-speed sonde.
std::vector<SpeedEntry> speedList(bool highSpeedSonde);
// The speed text of a divisor, "-" when the divisor has no entry.
const char* baudText(int divisor);
// The list position (1..12) of a divisor, 0 when absent.
int speedColumn(int divisor);
// The largest accepted UpholePulseWidth for a divisor: 4 x b, and 60 for any product above 56.
int upholeDriveMaximum(int divisor);
// Minimum MotorPeriod of PicResolution 1..4 at list column 1..12; 0 when either is out of range.
int minimumMotorPeriod(int resolution, int column);

}  // namespace quelt
