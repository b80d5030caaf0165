#include "link/LoggerId.h"

#include <cctype>

#include "config/Ini.h"
#include "platform/LoggerBridge.h"

namespace quelt {

std::optional<std::uint16_t> parseProductId(const std::string& text) {
    std::size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) i = 2;
    if (i == text.size() || text.size() - i > 4) return std::nullopt;
    unsigned value = 0;
    for (; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::uint16_t loggerProductId(const std::string& settingsFile) {
    if (settingsFile.empty()) return kLoggerProductId;
    std::string text = readProfileString(settingsFile, kApplicationName, kLoggerProductIdKey, "");
    return parseProductId(text).value_or(kLoggerProductId);
}

}  // namespace quelt
