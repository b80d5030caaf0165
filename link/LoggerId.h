#pragma once
// The logger's product id the link looks for: the built-in value unless the settings file overrides it
// with LoggerProductId in its main section, in hexadecimal as the udev rule writes it ("d7a0", "0xD7A0").
// A bridge programmed with another id is then found without a new build (its udev rule needs the same id).

#include <cstdint>
#include <optional>
#include <string>

namespace quelt {

inline constexpr const char* kLoggerProductIdKey = "LoggerProductId";

// The id of a text as the setting holds it; none for an empty, malformed, zero or out-of-range text.
std::optional<std::uint16_t> parseProductId(const std::string& text);
// Reads the setting from the settings file (Zorak.cfg); the built-in id when it is absent or malformed.
std::uint16_t loggerProductId(const std::string& settingsFile);

}  // namespace quelt
