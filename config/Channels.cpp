#include "config/Channels.h"

#include <string>

#include "platform/Text.h"

namespace quelt {

namespace {
const char* const kMnemonics[] = {"DPTH", "TIME", "SHAN", "BLNK", "PEAK", "GAIN", "RESO", "STEP", "BAUD",
                                  "PULS", "N/U",  "HX",   "GX",   "HY",   "GY",   "HZ",   "GZ",   "NGAM",
                                  "GCLK", "TTEM", "PTEM", "SCAN", "CSUM", "VOLT", "AMP"};
static_assert(sizeof kMnemonics / sizeof kMnemonics[0] == channel::kLast - channel::kFirst + 1);
}  // namespace

const char* channelMnemonic(int id) {
    if (id < channel::kFirst || id > channel::kLast) return nullptr;
    return kMnemonics[id - channel::kFirst];
}

int channelKindFromMnemonic(std::string_view mnemonic) {
    for (int id = channel::kFirst; id <= channel::kLast; ++id)
        if (mnemonic == kMnemonics[id - channel::kFirst]) return id;
    return 0;
}

int channelId(std::string_view mnemonic) {
    std::string m = trim(mnemonic);
    for (int id = channel::kFirst; id <= channel::kLast; ++id)
        if (equalsNoCase(m, kMnemonics[id - channel::kFirst])) return id;
    return 0;
}

}  // namespace quelt
