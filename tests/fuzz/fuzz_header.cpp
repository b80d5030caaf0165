// Fuzzes the log header reader: any bytes as a .HED read without fault into a header whose channel
// list holds at most fifty entries, whose clamps hold and whose texts are bounded; the repair and the
// in-place updates of the same file never fail on its content.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/Header.h"
#include "config/Ini.h"
#include "platform/Operator.h"

namespace {
const std::filesystem::path& fuzzDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quelt_fuzz_header_" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        quelt::setProgramDirectory(d.string());
        return d;
    }();
    return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = (fuzzDir() / "FUZZ.HED").string();
    {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), size);
    }

    quelt::Settings settings;
    quelt::ProgramPaths paths;
    quelt::PlacementRecord placements;
    quelt::ScriptedOperator op;
    quelt::SondeDatabase sondes(settings, op);
    quelt::LogHeader header;
    quelt::CHeader reader(settings, paths, placements, op, header, sondes);
    reader.ReadHeader(path);

    if (header.channelCount < 0 || header.channelCount > quelt::kMaxChannels) __builtin_trap();
    if (header.channels.size() != static_cast<size_t>(header.channelCount)) __builtin_trap();
    if (header.dataFiles > 50) __builtin_trap();
    if (header.referenceUnit < 0 || header.referenceUnit > 1) __builtin_trap();
    if (header.horizontalMode == 1 && header.screenMode != 2) __builtin_trap();
    for (const auto& [key, text] : header.texts)
        if (text.size() > quelt::kIniValueMax) __builtin_trap();
    for (const auto& c : header.channels)
        if (c.title.size() > quelt::kIniValueMax || quelt::channelFieldBytes(c.sampleType, c.sampleCount) < 0)
            __builtin_trap();

    if (!quelt::RepairHeader(path, 1000, 2000, 3000, header)) __builtin_trap();
    reader.ReadHeader(path);
    if (header.corrupt || header.endDepth != 2000 || header.endTime != 3000) __builtin_trap();
    return 0;
}
