#pragma once
// A small JSON writer for the machine-readable output of the subcommands.

#include <string>
#include <string_view>
#include <variant>

namespace quelt::cli {

std::string jsonString(std::string_view text);
// A real that always reads back as a real: 500 is written 500.0; non-finite values are null.
std::string jsonNumber(double value);
// One value of the settings (a switch, a whole number, a real or a text) as JSON.
std::string jsonValue(const std::variant<bool, int, double, std::string>& value);

// One value of the settings as the listings in `KEY=VALUE` lines write it: a switch 1 or 0, a whole
// number as it stands, a real as `formatReal` writes it, a text as it stands.
std::string settingText(const std::variant<bool, int, double, std::string>& value,
                        std::string (*formatReal)(double));

class JsonObject {
  public:
    JsonObject& add(std::string_view key, std::string_view rawJson);
    JsonObject& addString(std::string_view key, std::string_view text) { return add(key, jsonString(text)); }
    JsonObject& addInt(std::string_view key, long long value) { return add(key, std::to_string(value)); }
    JsonObject& addReal(std::string_view key, double value) { return add(key, jsonNumber(value)); }
    JsonObject& addBool(std::string_view key, bool value) { return add(key, value ? "true" : "false"); }
    std::string str() const { return "{" + body_ + "}"; }

  private:
    std::string body_;
};

}  // namespace quelt::cli
