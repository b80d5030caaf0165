// Fuzzes the sonde database and import readers: any bytes as Zorak.tol load without fault, with at most
// fifty channels and a current slot inside 0..9; any bytes as an import file give a slot within the
// import clamps or a refusal.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/Ini.h"
#include "config/SondeDatabase.h"
#include "platform/Operator.h"

namespace {
const std::filesystem::path& fuzzDir() {
    static const std::filesystem::path dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("quelt_fuzz_sonde_" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        quelt::setProgramDirectory(d.string());
        return d;
    }();
    return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& dir = fuzzDir();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    { std::ofstream(dir / "Zorak.tol", std::ios::binary | std::ios::trunc) << bytes; }
    { std::ofstream(dir / "probe.vxq", std::ios::binary | std::ios::trunc) << bytes; }

    quelt::Settings settings;
    settings.SondeUsed = static_cast<int>(size % 13);
    quelt::ScriptedOperator op;
    quelt::SondeDatabase db(settings, op);
    db.LoadSondeDatabase();
    if (db.channelCount() > quelt::kMaxChannels) __builtin_trap();
    if (db.currentSlot() < 0 || db.currentSlot() >= quelt::kSondeSlotCount) __builtin_trap();

    op.answerPath((dir / "probe.vxq").string());
    op.defaultAnswer = true;
    if (db.ImportSonde()) {
        const quelt::SondeEntry& e = db.current();
        if (!(e.rotationOffset >= 0.0 && e.rotationOffset <= 359.99)) __builtin_trap();
        if (!(e.gammaCoef >= 0.19999 && e.gammaCoef <= 5.00001)) __builtin_trap();
        if (!e.inUse()) __builtin_trap();
    }
    return 0;
}
