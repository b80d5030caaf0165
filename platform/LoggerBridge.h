#pragma once
// How the logger's USB bridge identifies itself. The one place of these values: the link checks them at
// identification, the libftdi1 backend looks for them, the simulated logger reports them, and the build
// writes them into the udev rule (data/udev), which CMake reads from this file.

#include <cstdint>
#include <string>

namespace quelt {

constexpr std::uint16_t kFtdiVendorId = 0x0403;
// The bridge chip's default product id: the logger is accepted under it too, and the udev rule grants it
// only together with the logger's product string.
constexpr std::uint16_t kBridgeDefaultProductId = 0x6001;
// The product id programmed into the logger's own bridge chip (the setting LoggerProductId overrides it).
constexpr std::uint16_t kLoggerProductId = 0xD7A0;
// The product string (the device description) of the logger's bridge.
inline constexpr const char* kLoggerProductString = "Logger";

// The udev rule installed with the program, and the text that tells the operator to install it.
inline constexpr const char* kUdevRuleName = "60-queltlogger.rules";
inline std::string permissionHint() {
    return std::string("No permission for the logger's USB bridge: install ") + kUdevRuleName +
           " in /etc/udev/rules.d (see data/udev/README), then plug the logger again";
}

}  // namespace quelt
