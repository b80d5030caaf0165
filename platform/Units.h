#pragma once
// The program's unit factors and the conversions to and from the display unit. The factors are the
// program's own, written in its files and texts for years: they are not exact inverses of each other
// (3.28083 x 0.3048 = 0.99999698), so a depth converted to feet and back loses about 3 ppm. Every file
// format that stores depths relies on these values; do not "correct" them.

namespace quelt::units {

constexpr double kFeetPerMetre = 3.28083;
constexpr double kMetresPerFoot = 0.3048;
constexpr double kInchesPerMillimetre = 0.03937;
constexpr double kInchesPerMetre = 39.37;
constexpr double kMillimetresPerInch = 25.4;
constexpr double kMetresPerInch = 0.02539996;
constexpr double kInchesPerFoot = 12.0;

// The depth unit of the settings (SetDepthUnit) and of a log's reference: 0 metres, 1 feet.
enum DepthUnit : int { kMetres = 0, kFeet = 1 };

constexpr double metresToFeet(double metres) {
    return metres * kFeetPerMetre;
}
constexpr double feetToMetres(double feet) {
    return feet * kMetresPerFoot;
}

// A depth held in metres, shown in `unit`; and a value typed in `unit`, back to metres.
constexpr double toDisplay(double metres, int unit) {
    return unit == kFeet ? metresToFeet(metres) : metres;
}
constexpr double fromDisplay(double value, int unit) {
    return unit == kFeet ? feetToMetres(value) : value;
}
// A value in `from` (metres or feet), in `to`.
constexpr double convert(double value, int from, int to) {
    if (from == to) return value;
    return to == kFeet ? metresToFeet(value) : feetToMetres(value);
}

}  // namespace quelt::units
