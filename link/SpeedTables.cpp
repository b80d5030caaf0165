#include "link/SpeedTables.h"

namespace quelt {

namespace {
constexpr SpeedEntry kSpeeds[kSpeedCount] = {
    {"312500", 2}, {"208333", 3}, {"156250", 4}, {"125000", 5}, {"104167", 6}, {"89286", 7},
    {"78125", 8},  {"69444", 9},  {"62500", 10}, {"52083", 12}, {"41667", 15}, {"31250", 20},
};
constexpr int kMinPeriod[4][kSpeedCount] = {
    {34, 35, 45, 55, 65, 76, 86, 96, 106, 127, 127, 127},
    {21, 21, 25, 30, 35, 41, 46, 51, 56, 67, 82, 108},
    {21, 21, 21, 22, 25, 29, 32, 36, 40, 47, 57, 75},
    {21, 21, 21, 21, 21, 23, 26, 29, 32, 37, 45, 58},
};
}  // namespace

const SpeedEntry* speedTable() {
    return kSpeeds;
}

std::vector<SpeedEntry> speedList(bool highSpeedSonde) {
    return {kSpeeds, kSpeeds + (highSpeedSonde ? kHighSpeedCount : kSpeedCount)};
}

int speedColumn(int divisor) {
    for (std::size_t i = 0; i < kSpeedCount; ++i)
        if (kSpeeds[i].divisor == divisor) return static_cast<int>(i) + 1;
    return 0;
}

const char* baudText(int divisor) {
    int column = speedColumn(divisor);
    return column ? kSpeeds[column - 1].text : "-";
}

int upholeDriveMaximum(int divisor) {
    int product = 4 * divisor;
    return product > 56 ? 60 : product;
}

int minimumMotorPeriod(int resolution, int column) {
    if (resolution < 1 || resolution > 4 || column < 1 || column > static_cast<int>(kSpeedCount)) return 0;
    return kMinPeriod[resolution - 1][column - 1];
}

}  // namespace quelt
