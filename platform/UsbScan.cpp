#include "platform/UsbScan.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/LoggerBridge.h"

namespace quelt {

namespace {
std::string attribute(const std::filesystem::path& dir, const char* name) {
    std::ifstream in(dir / name);
    std::string value;
    std::getline(in, value);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r' || value.back() == ' '))
        value.pop_back();
    return value;
}
long hex(const std::string& text) {
    if (text.empty()) return -1;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 16);
    return *end ? -1 : v;
}
}  // namespace

bool loggerBridgePlugged(std::uint16_t productId, const std::string& root) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(root, ec)) {
        const auto& dir = entry.path();
        if (hex(attribute(dir, "idVendor")) != kFtdiVendorId) continue;
        const long product = hex(attribute(dir, "idProduct"));
        if (product == productId) return true;
        if (product == kBridgeDefaultProductId && attribute(dir, "product") == kLoggerProductString)
            return true;
    }
    return false;
}

}  // namespace quelt
