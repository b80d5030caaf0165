#pragma once
// CUSB: the connection to the surface logger. It binds the device backend, watches for the logger every
// 250 ms (Thread_USB_Link), reads and cuts its stream on the reader thread (Thread_USB_Read) and writes
// each command on a short-lived sender (Thread_USB_Send). Threads coordinate through the atomics of
// LinkFlags; windows are reached only through LinkEvents and Operator.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "config/Settings.h"
#include "link/Commands.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/SondeInfo.h"
#include "link/StreamCutter.h"
#include "platform/Beep.h"
#include "platform/Device.h"
#include "platform/LoggerBridge.h"
#include "platform/Operator.h"

namespace quelt {

struct LinkOptions {
    int watchPeriodMs = 250;        // watcher poll
    int shutdownWaitMs = 2000;      // per thread
    int identifySettleMs = 500;     // after command 0x00 at the first identification
    int readerStartSettleMs = 300;  // after command 0x01 at the reader's start
    std::uint16_t loggerProductId = kLoggerProductId;
    std::string capturePath;  // --capture FILE: raw uplink bytes, exactly as read
    // State shared with the decoders (the acquisition engine): when set, the link counts into these, sets
    // this LinkStatus and coordinates through these flags instead of its own. They must outlive the link.
    LinkCounters* counters = nullptr;
    std::atomic<int>* linkStatus = nullptr;
    LinkFlags* flags = nullptr;
    LastLoggerCommand* loggerCommand = nullptr;  // the engine's: the read-back reference
};

// Status-bar part 1 once the logger is identified and its reader runs.
inline constexpr const char* kUsbLinkConnected = "USB link connected";

// Sender results.
constexpr int kSendDone = 4;
constexpr int kSendBusy = 444;

class CUSB : private FrameSink {
  public:
    CUSB(Device& device, const Settings& settings, const SondeInfo& sonde, LinkEvents& events, Operator& op,
         Beeper& beeper, FrameSink* decoders = nullptr, LinkOptions options = {});
    virtual ~CUSB();

    // Binds the backend, sets the defaults, posts "USB not installed." or "Checking USB status." and
    // starts the watcher; returns usbBound.
    bool Start();
    // Sets quitting and waits at most the shutdown time for each thread. Called by the destructor too.
    void Shutdown();

    // Identification in open mode 2 (index 0, EEPROM check); modes 0 and 1 open by description / serial.
    int Identify();
    // One identification step of the watcher.
    void CheckLink();
    // One pass of the watcher loop (steps 1 to 6); false when the watcher is to end.
    bool watchStep();

    // The commands: build from the settings, verify the sum, start a sender. sendF2 takes the depth the
    // operator set (in SetDepthUnit).
    void sendF0();
    void sendF1();
    void sendF2(double depth);
    void sendF3();
    void sendF4();
    void sendF5();
    // Writes a command built elsewhere (the engine's command set) through a sender, after checking its
    // sum; false when the sum is wrong, the link is not started or another write is in flight (the command
    // is then lost, as a sender returning 444 loses it). A command 0x01 becomes the read-back reference.
    bool sendCommand(const CommandFrame& frame);
    // The body of one sender, run on the calling thread: 444 when another write is in flight, 4 when done.
    int Thread_USB_Send(const CommandFrame& frame);
    // The link policy for logger frames: re-send command 0x01 when the read-back differs. Called by the
    // logger-frame decoder with the frame in the 20-byte layout; returns true when it matched.
    bool checkLoggerReadBack(const std::uint8_t* logger20);

    void ReportError(int status, int code);
    static std::string errorCodeText(int code);
    static std::string errorStatusText(int status);
    void PostLinkStatus();
    void PostPacketInfo(int value, int part);

    LinkFlags& flags() { return flags_; }
    LinkCounters& counters() { return counters_; }
    int linkStatus() const { return linkStatus_.load(); }
    std::string linkStatusText() const;
    std::string deviceSerial() const;
    std::string deviceDescription() const;
    int openMode() const { return openMode_; }
    // The last command 0x01 sent (empty, length 0, before the first).
    CommandFrame lastF1() const;
    double startDepth() const { return startDepth_.load(); }
    std::int32_t lastEncoderScale() const { return lastScale_.load(); }

  private:
    void Thread_USB_Link();
    int Thread_USB_Read();
    void startWatcher();
    void startReader();
    void startSender(const CommandFrame& frame);
    bool sendFrame(const CommandFrame& frame);
    void setLinkText(const std::string& text);
    void sleepMs(int ms);
    void onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia via) override;
    std::string depthText();

    Device& device_;
    const Settings& settings_;
    const SondeInfo& sonde_;
    LinkEvents& events_;
    Operator& operator_;
    Beeper& beeper_;
    FrameSink* decoders_;
    LinkOptions options_;

    LinkFlags ownFlags_;
    LinkCounters ownCounters_;
    std::atomic<int> ownStatus_{kLinkNothing};
    LinkFlags& flags_;
    LinkCounters& counters_;
    std::atomic<int>& linkStatus_;
    CStreamCutter cutter_;

    mutable std::mutex textMutex_;
    std::string linkText_;
    std::string description_ = "Logger";
    std::string serial_ = "QR-00000000";
    std::string letter_ = "E";
    int openMode_ = 2;
    int dots_ = 0;
    LastLoggerCommand ownLoggerCommand_;
    LastLoggerCommand& loggerCommand_;
    std::atomic<double> startDepth_{0};
    std::atomic<std::int32_t> lastScale_{0};

    std::mutex threadMutex_;
    std::thread watcher_;
    std::thread reader_;
    std::atomic<int> sendersAlive_{0};
    std::atomic<bool> watcherAlive_{false};
    std::atomic<bool> readerThreadAlive_{false};
    std::mutex sleepMutex_;
    std::condition_variable wake_;
    std::FILE* capture_ = nullptr;
};

}  // namespace quelt
