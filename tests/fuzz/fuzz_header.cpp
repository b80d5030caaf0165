// Fuzzes the log header reader: any bytes as a .HED read without fault into a header whose channel
// list holds at most fifty entries, whose clamps hold and whose texts are bounded; the repair and the
// in-place updates of the same file never fail on its content.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzFiles.h"
#include "config/Header.h"
#include "config/Ini.h"
#include "platform/Operator.h"

namespace {
// The reader and what it reads into live for the whole run, as in the program: every read starts
// from a fresh header, and only the input file changes between runs.
struct Home {
    Home() {
        dir = std::filesystem::temp_directory_path() / ("quelt_fuzz_header_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        quelt::setProgramDirectory(dir.string());
        path = (dir / "FUZZ.HED").string();
    }
    std::filesystem::path dir;
    std::string path;
};

struct Rig {
    Home home;  // first: the program folder is set before the reader is made
    quelt::Settings settings;
    quelt::ProgramPaths paths;
    quelt::PlacementRecord placements;
    quelt::ScriptedOperator op;
    quelt::SondeDatabase sondes{settings, op};
    quelt::LogHeader header;
    quelt::CHeader reader{settings, paths, placements, op, header, sondes};
};

Rig& rig() {
    static Rig* r = new Rig;
    return *r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Rig& r = rig();
    const std::string& path = r.home.path;
    fuzzfiles::writeInput(path, data, size);
    r.op.clear();
    r.settings = quelt::Settings{};
    quelt::LogHeader& header = r.header;
    quelt::CHeader& reader = r.reader;
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
