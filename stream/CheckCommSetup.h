#pragma once
// The communication auto-check wired to the acquisition pipeline: commands through the engine's command
// set, echoes from its ReplyEcho, decimate in its link flags, the report in the program folder under the
// selected sonde's serial number, SaveSettings through the program's preferences. The dialog and the
// command line build it here, so both run the same check.

#include <memory>

#include "platform/Operator.h"
#include "stream/Acquisition.h"
#include "stream/CheckComm.h"

namespace quelt {

std::unique_ptr<CCheckComm> makeCheckComm(Acquisition& acquisition, Operator& op);

}  // namespace quelt
