// Fuzzes the sonde database and import readers: any bytes as Zorak.tol load without fault, with at most
// fifty channels and a current slot inside 0..9; any bytes as an import file give a slot within the
// import clamps or a refusal.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzFiles.h"
#include "config/Ini.h"
#include "config/SondeDatabase.h"
#include "platform/Operator.h"

namespace {
struct Home {
    Home() {
        auto dir = std::filesystem::temp_directory_path() / ("quelt_fuzz_sonde_" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        quelt::setProgramDirectory(dir.string());
        database = (dir / "Zorak.tol").string();
        import = (dir / "probe.vxq").string();
    }
    std::string database, import;
};

const Home& home() {
    static const Home* h = new Home;
    return *h;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Home& files = home();
    fuzzfiles::writeInput(files.database, data, size);
    fuzzfiles::writeInput(files.import, data, size);

    quelt::Settings settings;
    settings.SondeUsed = static_cast<int>(size % 13);
    quelt::ScriptedOperator op;
    quelt::SondeDatabase db(settings, op);
    db.LoadSondeDatabase();
    if (db.channelCount() > quelt::kMaxChannels) __builtin_trap();
    if (db.currentSlot() < 0 || db.currentSlot() >= quelt::kSondeSlotCount) __builtin_trap();

    op.answerPath(files.import);
    op.defaultAnswer = true;
    if (db.ImportSonde()) {
        const quelt::SondeEntry& e = db.current();
        if (!(e.rotationOffset >= 0.0 && e.rotationOffset <= 359.99)) __builtin_trap();
        if (!(e.gammaCoef >= 0.19999 && e.gammaCoef <= 5.00001)) __builtin_trap();
        if (!e.inUse()) __builtin_trap();
    }
    return 0;
}
