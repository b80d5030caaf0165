#include <gtest/gtest.h>

#include <filesystem>

#include "config/ProgramContext.h"
#include "platform/ScriptedDevice.h"
#include "stream/LinkWiring.h"

namespace fs = std::filesystem;
using namespace quelt;

namespace {

// The engine and its link keep one record of the command 0x01 last sent: whichever of them sends it,
// the other checks the logger's read-back against the same frame.
TEST(LinkWiring, EngineAndLinkShareTheLastCommandOne) {
    const fs::path home = fs::temp_directory_path() / ("quelt-wiring-" + std::to_string(::getpid()));
    fs::remove_all(home);
    ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    ScriptedOperator op;
    ProgramContext context;
    std::string error;
    ASSERT_TRUE(startProgram((home / "h").string(), op, context, error)) << error;
    FakeClock clock;
    Acquisition acq(context, clock);
    ScriptedDevice device;
    FixedSondeInfo sonde;
    NullLinkEvents events;
    SilentBeeper beeper;
    auto link = makeEngineLink(device, acq, sonde, events, op, beeper, &acq, {});

    context.settings.Power = 90;
    const auto sent = static_cast<LoggerCommands&>(acq).sendF1();
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), link->lastF1().bytes.begin()));

    context.settings.Power = 0;
    link->sendF1();
    ASSERT_TRUE(acq.loggerCommand.get().has_value());
    EXPECT_EQ(acq.loggerCommand.get()->bytes[f1::kPower], 0);
    link->Shutdown();
    unwireEngine(acq);
    fs::remove_all(home);
}

}  // namespace
