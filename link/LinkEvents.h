#pragma once
// The calls the link makes into the windows, as one interface: status-bar texts, the idle blanking of
// the packet texts, data refreshes, the probe panel's buttons when the link is lost. The desktop program
// posts them to its event loop, the command line counts them, tests record them. Every call may come from
// a link thread.

#include <cmath>
#include <string>

namespace quelt {

// Status-bar parts written by the link.
enum StatusPart : int {
    kPartLink = 1,    // link status text
    kPartPacket = 2,  // "Packet size %d Bytes", "Not hardware detected."
    kPartCount = 3,   // frames dispatched ("%d" or "%d-%d")
};

// The codes of RefreshDataView: what changed. Any code but kRefreshLink redraws the values too.
enum RefreshCode : int {
    kRefreshRestored = 0,   // the auto-check put the acquisition window back
    kRefreshValues = 1024,  // a frame was decoded, or the link was lost
    kRefreshLink = 1025,    // the watcher or a sender ran: the counters and status texts only
};

class LinkEvents {
  public:
    virtual ~LinkEvents() = default;
    virtual void statusText(int part, const std::string& text) = 0;
    // A packet arrived or the watcher ran: restart the count of idle ticks after which the main window
    // blanks parts 2 and 3.
    virtual void resetIdleTicks() {}
    // RefreshDataView with its code (kRefreshValues when the link is lost, kRefreshLink from the watcher
    // and the senders).
    virtual void refreshDataView(int /*code*/) {}
    // The link was lost: blank the voltage and current texts.
    virtual void blankVoltageCurrent() {}
    // The device description and serial for the About box.
    virtual void deviceIdentified(const std::string& /*description*/, const std::string& /*serial*/) {}
    // The probe panel: is the sonde shown as powered; its Stop command; its power button.
    virtual bool sondePowered() { return false; }
    virtual void pressStop() {}
    virtual void pressPowerButton() {}
    // The last depth in metres for the "I/O USB error" message; NaN when unknown.
    virtual double lastDepth() { return std::nan(""); }
};

// Does nothing (tools that only need frames).
class NullLinkEvents final : public LinkEvents {
  public:
    void statusText(int, const std::string&) override {}
};

}  // namespace quelt
