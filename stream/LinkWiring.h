#pragma once
// The live link and the acquisition engine, connected the same way by every front end: the link counts
// into the engine's counters, sets its LinkStatus and shares its flags; the engine's commands go out
// through the link's senders; the logger's read-back of command 0x01 is checked by the link against the
// engine's record of the command last sent (which both keep up to date), and the link re-sends it; the power
// sequencers see a command that is built and not yet written as pending.

#include <memory>

#include "link/Usb.h"
#include "stream/Acquisition.h"

namespace quelt {

// A link on `device` wired to `acq`, from nothing received (the flags of an earlier link are cleared).
// `decoders` receives the frames the reader cuts (the engine itself, or a front end's guard in front of it);
// `options` gives the periods, the product id and the capture. The engine must outlive the link, or be
// unwired first.
std::unique_ptr<CUSB> makeEngineLink(Device& device, Acquisition& acq, const SondeInfo& sonde,
                                     LinkEvents& events, Operator& op, Beeper& beeper, FrameSink* decoders,
                                     LinkOptions options);

// Disconnects the engine from its link (after the link's threads have ended): no call reaches the link.
void unwireEngine(Acquisition& acq);

}  // namespace quelt
