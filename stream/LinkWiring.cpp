#include "stream/LinkWiring.h"

namespace quelt {

std::unique_ptr<CUSB> makeEngineLink(Device& device, Acquisition& acq, const SondeInfo& sonde,
                                     LinkEvents& events, Operator& op, Beeper& beeper, FrameSink* decoders,
                                     LinkOptions options) {
    // A link starts from nothing received, whatever an earlier link on another device left.
    acq.linkFlags.resetLink();
    acq.linkStatus = kLinkNothing;
    options.counters = &acq.counters;
    options.linkStatus = &acq.linkStatus;
    options.flags = &acq.linkFlags;
    options.loggerCommand = &acq.loggerCommand;
    auto link = std::make_unique<CUSB>(device, acq.context().settings, sonde, events, op, beeper, decoders,
                                       std::move(options));
    CUSB* usb = link.get();
    acq.writeCommand = [usb](const CommandFrame& f) { return usb->sendCommand(f); };
    acq.onLoggerReadBack = [usb](const std::uint8_t* logger20) { usb->checkLoggerReadBack(logger20); };
    acq.commandPendingNow = [usb] { return usb->flags().senderBusy.load(); };
    return link;
}

void unwireEngine(Acquisition& acq) {
    acq.writeCommand = nullptr;
    acq.onLoggerReadBack = nullptr;
    acq.commandPendingNow = nullptr;
}

}  // namespace quelt
