#pragma once
// The picture resolution codes, as the setting PicResolution, command 0x04, the RESO channel and a log
// header carry them: 1 = 360 samples per revolution, 2 = 180, 3 = 120, 4 = 90.

namespace quelt {

// What a code outside 1..4 stands for depends on who reads it: the sonde sends 90 samples for any
// other code (so every reader of frames and data lines takes 90), while a log header and the travel
// tools take a setting they do not know as the finest resolution, 360.
inline constexpr int kSamplesOfUnknownFrameCode = 90;
inline constexpr int kSamplesOfUnknownSetting = 360;

constexpr int samplesForResolution(int code, int otherwise = kSamplesOfUnknownFrameCode) {
    switch (code) {
        case 1:
            return 360;
        case 2:
            return 180;
        case 3:
            return 120;
        case 4:
            return 90;
        default:
            return otherwise;
    }
}

// The list text of a code ("360" .. "90"), "-" for any other.
constexpr const char* resolutionText(int code) {
    switch (code) {
        case 1:
            return "360";
        case 2:
            return "180";
        case 3:
            return "120";
        case 4:
            return "90";
        default:
            return "-";
    }
}

}  // namespace quelt
