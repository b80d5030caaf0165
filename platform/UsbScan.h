#pragma once
// Is the logger's bridge plugged in? A look at the kernel's USB device list (sysfs), without opening
// anything, so the command line and the desktop program can choose their default device: the bridge
// when it is there, the simulated logger otherwise.

#include <cstdint>
#include <string>

namespace quelt {

// True when a USB device under root (the kernel's /sys/bus/usb/devices) is the logger's bridge: vendor
// 0x0403 with productId, or the chip's default product id with the logger's product string.
bool loggerBridgePlugged(std::uint16_t productId, const std::string& root = "/sys/bus/usb/devices");

}  // namespace quelt
