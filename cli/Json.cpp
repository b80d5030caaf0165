#include "cli/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>

namespace quelt::cli {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buf[40];
    for (int precision = 15; precision <= 17; ++precision) {
        std::snprintf(buf, sizeof buf, "%.*g", precision, value);
        if (std::strtod(buf, nullptr) == value) break;
    }
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

JsonObject& JsonObject::add(std::string_view key, std::string_view rawJson) {
    if (!body_.empty()) body_ += ", ";
    body_ += jsonString(key);
    body_ += ": ";
    body_ += rawJson;
    return *this;
}

std::string jsonValue(const std::variant<bool, int, double, std::string>& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
    if (const std::string* text = std::get_if<std::string>(&value)) return jsonString(*text);
    return settingText(value, jsonNumber);
}

std::string settingText(const std::variant<bool, int, double, std::string>& value,
                        std::string (*formatReal)(double)) {
    return std::visit(
        [formatReal](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>)
                return x ? "1" : "0";
            else if constexpr (std::is_same_v<T, int>)
                return std::to_string(x);
            else if constexpr (std::is_same_v<T, double>)
                return formatReal(x);
            else
                return x;
        },
        value);
}

}  // namespace quelt::cli
