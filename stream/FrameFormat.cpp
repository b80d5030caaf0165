#include "stream/FrameFormat.h"

namespace quelt::frame {

std::string commStatusBitTexts(std::uint8_t status) {
    static const char* const kTexts[] = {" - No Resp",           " - Int Resp", " - Checksum error",
                                         " - Sonde Parametring", " - Updating", " - Bad Length",
                                         " - Bad Data"};
    std::string text;
    for (int bit = 1; bit <= 7; ++bit)
        if (status & (1u << bit)) text += kTexts[bit - 1];
    return text;
}

std::string baudRateText(int code) {
    switch (code) {
        case 2:
            return "312500";
        case 3:
            return "208333";
        case 4:
            return "156250";
        case 5:
            return "125000";
        case 6:
            return "104167";
        case 7:
            return "89286";
        case 8:
            return "78125";
        case 9:
            return "69444";
        case 10:
            return "62500";
        case 12:
            return "52083";
        case 15:
            return "41667";
        case 20:
            return "31250";
        default:
            return "-";
    }
}

}  // namespace quelt::frame
