#pragma once
// The channel identifiers of the sonde's data lines, shared by the sonde database, the log header, the
// decoders and the log reader: 1308 (DPTH) to 1332 (AMP).

#include <string_view>

namespace quelt {

namespace channel {
inline constexpr int DPTH = 1308, TIME = 1309, SHAN = 1310, BLNK = 1311, PEAK = 1312, GAIN = 1313,
                     RESO = 1314, STEP = 1315, BAUD = 1316, PULS = 1317, NU = 1318, HX = 1319, GX = 1320,
                     HY = 1321, GY = 1322, HZ = 1323, GZ = 1324, NGAM = 1325, GCLK = 1326, TTEM = 1327,
                     PTEM = 1328, SCAN = 1329, CSUM = 1330, VOLT = 1331, AMP = 1332;
inline constexpr int kFirst = DPTH, kLast = AMP;
}  // namespace channel

// "DPTH" .. "AMP" ("N/U" for 1318); nullptr outside 1308..1332.
const char* channelMnemonic(int id);
// The identifier of a mnemonic as a sonde database or a header spells it (exact, case-sensitive), 0 for a
// mnemonic not in the list.
int channelKindFromMnemonic(std::string_view mnemonic);
// The identifier of a mnemonic typed by a user (case-insensitive, surrounding blanks ignored), 0 when
// unknown.
int channelId(std::string_view mnemonic);

}  // namespace quelt
