#include "link/Usb.h"

#include <chrono>
#include <cmath>

#include "config/Diagnostics.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace quelt {

CUSB::CUSB(Device& device, const Settings& settings, const SondeInfo& sonde, LinkEvents& events, Operator& op,
           Beeper& beeper, FrameSink* decoders, LinkOptions options)
    : device_(device),
      settings_(settings),
      sonde_(sonde),
      events_(events),
      operator_(op),
      beeper_(beeper),
      decoders_(decoders),
      options_(std::move(options)),
      flags_(options_.flags ? *options_.flags : ownFlags_),
      counters_(options_.counters ? *options_.counters : ownCounters_),
      linkStatus_(options_.linkStatus ? *options_.linkStatus : ownStatus_),
      cutter_(this, &counters_, &linkStatus_),
      loggerCommand_(options_.loggerCommand ? *options_.loggerCommand : ownLoggerCommand_) {
    cutter_.setDecimate(&flags_.decimate);
}

CUSB::~CUSB() {
    Shutdown();
    if (capture_) std::fclose(capture_);
}

bool CUSB::Start() {
    std::string message;
    if (!device_.bind(message)) {
        if (!message.empty()) operator_.message(message, MessageKind::Error);
        setLinkText("USB not installed.");
        PostLinkStatus();
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(textMutex_);
        description_ = "Logger";
        serial_ = "QR-00000000";
        letter_ = "E";
    }
    openMode_ = 2;
    setLinkText("Checking USB status.");
    PostLinkStatus();
    if (!options_.capturePath.empty() && !capture_) {
        capture_ = std::fopen(options_.capturePath.c_str(), "wb");
        if (!capture_)
            operator_.message("Can't create the capture file " + options_.capturePath, MessageKind::Error);
    }
    flags_.usbBound = true;
    startWatcher();
    return true;
}

namespace {
// Waits until flag is clear, at most ms milliseconds.
bool waitClear(const std::atomic<bool>& flag, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (flag.load()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
void finish(std::thread& t, bool ended) {
    if (!t.joinable()) return;
    if (ended)
        t.join();
    else
        t.detach();  // still inside after the wait: the process is closing anyway
}
}  // namespace

void CUSB::Shutdown() {
    flags_.quitting = true;
    { std::lock_guard<std::mutex> lock(sleepMutex_); }
    wake_.notify_all();
    bool readerEnded = waitClear(readerThreadAlive_, options_.shutdownWaitMs);
    std::thread reader, watcher;
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        reader = std::move(reader_);
    }
    finish(reader, readerEnded);
    bool watcherEnded = waitClear(watcherAlive_, options_.shutdownWaitMs);
    {
        std::lock_guard<std::mutex> lock(threadMutex_);
        watcher = std::move(watcher_);
    }
    finish(watcher, watcherEnded);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(options_.shutdownWaitMs);
    while (sendersAlive_.load() > 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (capture_) std::fflush(capture_);
}

void CUSB::sleepMs(int ms) {
    std::unique_lock<std::mutex> lock(sleepMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return flags_.quitting.load(); });
}

void CUSB::setLinkText(const std::string& text) {
    std::lock_guard<std::mutex> lock(textMutex_);
    linkText_ = text;
}

std::string CUSB::linkStatusText() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return linkText_;
}
std::string CUSB::deviceSerial() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return serial_;
}
std::string CUSB::deviceDescription() const {
    std::lock_guard<std::mutex> lock(textMutex_);
    return description_;
}
CommandFrame CUSB::lastF1() const {
    return loggerCommand_.get().value_or(CommandFrame{});
}

void CUSB::PostLinkStatus() {
    if (flags_.quitting) return;
    events_.statusText(kPartLink, linkStatusText());
}

void CUSB::PostPacketInfo(int value, int part) {
    if (flags_.quitting) return;
    std::string text;
    if (part == kPartPacket) {
        text = format("Packet size %d Bytes", value);
    } else {
        unsigned missed = counters_.missed.load();
        text = missed > 0 ? format("%d-%u", value, missed) : format("%d", value);
    }
    events_.statusText(part, text);
    events_.resetIdleTicks();
}

std::string CUSB::errorCodeText(int code) {
    switch (code) {
        case 1052:
            return "Thread_USB_Read : L281 - err 1052";
        case 5550:
            return "Thread_USB_Read : USB disconnected ? - err 5500";
        case 5570:
            return "Thread_USB_Send : driver error. Data not send - err 5570";
        default:
            return format("err%d", code);
    }
}

std::string CUSB::errorStatusText(int status) {
    switch (status) {
        case 0:
            return "Devise OK, no error";
        case 1:
            return "Invalid handle";
        case 2:
            return "Device not found:";
        case 3:
            return "Device not opened";
        case 4:
            return "IO Error";
        case 5:
            return "Insufficient ressources";
        case 6:
            return "invalid parameter send";
        case 8:
            return "USB : read time mode";
        default:
            return "";
    }
}

void CUSB::ReportError(int status, int code) {
    WriteErrorLog(errorCodeText(code), errorStatusText(status));
}

// ---------------------------------------------------------------- watcher

void CUSB::startWatcher() {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (flags_.quitting) return;
    if (watcher_.joinable()) watcher_.join();  // the last watcher ended when it found the logger
    flags_.linkWatchRunning = true;
    watcherAlive_ = true;
    watcher_ = std::thread([this] {
        Thread_USB_Link();
        watcherAlive_ = false;
    });
}

void CUSB::Thread_USB_Link() {
    while (watchStep())
        sleepMs(options_.watchPeriodMs);
}

std::string CUSB::depthText() {
    bool imperial = settings_.ShownDepthUnit == 1;
    double d = events_.lastDepth();
    if (imperial) d = units::metresToFeet(d);
    std::string value = (!std::isfinite(d) || d < -100000 || d > 100000) ? " --- " : format("%.2f", d);
    return value + (imperial ? "feet." : "m.");
}

bool CUSB::watchStep() {
    if (!flags_.linkWatchRunning) return false;
    if (flags_.quitting) {
        flags_.linkWatchRunning = false;
        return false;
    }
    linkStatus_ = kLinkIdentifying;
    device_.close();
    CheckLink();
    PostLinkStatus();
    linkStatus_ = kLinkIdentified;
    if (flags_.devicePresent) {
        flags_.linkWatchRunning = false;
        counters_.dispatched = 0;
        if (!flags_.quitting) events_.statusText(kPartCount, "0");
        return false;
    }
    if (!flags_.quitting) {
        events_.statusText(kPartPacket, "Not hardware detected.");
        events_.resetIdleTicks();
        flags_.dataFlowing = false;
        events_.refreshDataView(kRefreshLink);
    }
    if (flags_.loggerInitialised) {
        if (++flags_.failedChecks > 34) {
            flags_.loggerInitialised = false;
            operator_.message("I/O USB error.\nApplication stopped at " + depthText(), MessageKind::Error);
            if (events_.sondePowered()) {
                events_.pressStop();
                events_.pressPowerButton();
            }
        }
    } else {
        if (flags_.poweredCopy) events_.pressPowerButton();
        flags_.failedChecks = 0;
    }
    return true;
}

int CUSB::Identify() {
    int status = kDevOk;
    if (openMode_ == 0) {
        status = device_.openByDescription(deviceDescription());
    } else if (openMode_ == 1) {
        status = device_.openBySerial(deviceSerial());
    } else {
        status = device_.openByIndex(0);
    }
    if (status != kDevOk) {
        if (status == kDevPermissionDenied) {
            std::string hint = device_.lastErrorHint();
            setLinkText(hint.empty() ? permissionHint() : hint);
        }
        return status;
    }
    if (openMode_ != 2) {
        flags_.devicePresent = true;
        return kDevOk;
    }
    DeviceEeprom e;
    status = device_.readEeprom(e);
    if (status != kDevOk) return status;
    if (e.vendorId == kFtdiVendorId &&
        (e.productId == options_.loggerProductId || e.productId == kBridgeDefaultProductId)) {
        flags_.devicePresent = true;
        std::lock_guard<std::mutex> lock(textMutex_);
        serial_ = e.serial;
        return kDevOk;
    }
    flags_.devicePresent = false;
    setLinkText("USB unknown");
    return kDevNotFound;
}

void CUSB::CheckLink() {
    dots_ = dots_ % 9 + 1;
    setLinkText("Checking USB Link " + std::string(static_cast<std::size_t>(dots_), '.'));
    flags_.devicePresent = false;
    Identify();
    if (flags_.devicePresent) {
        device_.reset();
        device_.setTimeouts(3000, 3000);
        std::uint32_t waiting = 0;
        if (device_.getQueueStatus(waiting) == kDevOk) {
            std::uint8_t discard[512];
            while (waiting > 0) {
                std::uint32_t got = 0;
                std::uint32_t n = waiting < sizeof discard ? waiting : sizeof discard;
                if (device_.read(discard, n, got) != kDevOk || got == 0) break;
                waiting -= got < waiting ? got : waiting;
            }
        }
        device_.purge(kPurgeRx);
        if (flags_.poweredCopy) {
            beeper_.beep(300, 100);
            beeper_.beep(1200, 200);
        }
        if (!flags_.loggerInitialised) {
            // Command 0x00 goes through the sender alone: a second, direct write of the same buffer would
            // run beside the sender's write and duplicate the command.
            sendF0();
            events_.pressStop();
            flags_.commandSent = true;
            sleepMs(options_.identifySettleMs);
        }
        setLinkText(kUsbLinkConnected);
        flags_.readerStarted = true;
        startReader();
    }
    device_.setTimeouts(3, 3);
    device_.setLatencyTimer(2);
}

// ---------------------------------------------------------------- reader

void CUSB::startReader() {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (flags_.quitting || flags_.readerRunning) return;  // a second reader never runs
    if (reader_.joinable()) reader_.join();               // the last reader has left its body
    readerThreadAlive_ = true;
    reader_ = std::thread([this] {
        Thread_USB_Read();
        readerThreadAlive_ = false;
    });
}

int CUSB::Thread_USB_Read() {
    if (flags_.quitting) {
        flags_.readerAlive = false;
        return 1001;
    }
    bool expected = false;
    if (!flags_.readerRunning.compare_exchange_strong(expected, true)) return 1256;
    flags_.readerAlive = true;
    flags_.dataFlowing = true;

    device_.setTimeouts(1500, 100);
    if (device_.setLatencyTimer(1) == kDevOk) events_.deviceIdentified(deviceDescription(), deviceSerial());
    if (!flags_.loggerInitialised) {
        sendF1();
        startSender(lastF1());
        sleepMs(options_.readerStartSettleMs);
        flags_.loggerInitialised = true;
    }
    flags_.failedChecks = 0;

    cutter_.reset();
    int emptyReads = 0;
    bool dataWaitShown = false;
    std::uint8_t chunk[CStreamCutter::kReadChunk];
    while (!flags_.quitting) {
        std::uint32_t waiting = 0;
        int status = device_.getQueueStatus(waiting);
        if (status != kDevOk) {
            if (flags_.poweredCopy) {
                beeper_.beep(1200, 100);
                beeper_.beep(300, 200);
            }
            ReportError(status, 5550);
            flags_.readerStarted = false;
            linkStatus_ = kLinkOther;
            events_.blankVoltageCurrent();
            events_.refreshDataView(kRefreshValues);
            // Leave the reader's guard before the new watcher can start the next reader.
            flags_.readerRunning = false;
            flags_.readerAlive = false;
            startWatcher();
            return 1128;
        }
        device_.setTimeouts(300, 100);
        std::uint32_t want = static_cast<std::uint32_t>(cutter_.requestSize());
        std::uint32_t got = 0;
        status = device_.read(chunk, want, got);
        if (status != kDevOk) {
            ReportError(status, 1052);
            continue;
        }
        if (got > want) got = want;
        if (capture_ && got) {
            std::fwrite(chunk, 1, got, capture_);
            std::fflush(capture_);
        }
        std::size_t avail = got + cutter_.carry();
        if (avail != CStreamCutter::kReadChunk) ReportError(0, 1050);
        if (avail == 0) {
            if (++emptyReads < 10) continue;
            if (!flags_.quitting) events_.statusText(kPartLink, "Data wait ...");
            dataWaitShown = true;
            sleepMs(20);
            continue;
        }
        emptyReads = 0;
        if (dataWaitShown) {
            PostLinkStatus();
            dataWaitShown = false;
        }
        cutter_.pass(chunk, got);
    }
    flags_.readerRunning = false;
    flags_.readerAlive = false;
    return 1000;
}

void CUSB::onFrame(const std::uint8_t* frame, std::size_t length, std::uint8_t sequence, FrameVia via) {
    if (decoders_) decoders_->onFrame(frame, length, sequence, via);
    PostPacketInfo(static_cast<int>(length), kPartPacket);
    PostPacketInfo(static_cast<int>(counters_.dispatched.load()), kPartCount);
    flags_.frameReceived = true;
}

// ---------------------------------------------------------------- senders

void CUSB::startSender(const CommandFrame& frame) {
    if (flags_.quitting) return;
    ++sendersAlive_;
    std::thread([this, frame] {
        Thread_USB_Send(frame);
        --sendersAlive_;
    }).detach();
}

int CUSB::Thread_USB_Send(const CommandFrame& frame) {
    if (!flags_.usbBound || flags_.quitting) return 0;
    bool expected = false;
    if (!flags_.senderBusy.compare_exchange_strong(expected, true)) return kSendBusy;
    device_.setTimeouts(300, 100);
    std::uint32_t written = 0;
    int status = device_.write(frame.data(), frame.length, written);
    if (status != kDevOk || written != frame.length) ReportError(status, 5570);
    events_.refreshDataView(kRefreshLink);
    flags_.commandSent = true;
    flags_.senderBusy = false;
    return kSendDone;
}

bool CUSB::sendFrame(const CommandFrame& frame) {
    if (!commandSumValid(frame)) {
        TraceDebug("command 0x%02X not sent: checksum mismatch\n", frame.code());
        return false;
    }
    startSender(frame);
    return true;
}

void CUSB::sendF0() {
    sendFrame(makeF0(settings_));
}

void CUSB::sendF1() {
    try {
        lastScale_ = encoderScale(settings_).scale;
        CommandFrame f = makeF1(settings_);
        loggerCommand_.record(f);
        sendFrame(f);
    } catch (...) {
        WriteCaughtException("CUSB::sendF1");
    }
}

void CUSB::sendF2(double depth) {
    double start = 0;
    CommandFrame f = makeF2(settings_, sonde_, depth, &start);
    startDepth_ = start;
    sendFrame(f);
}

void CUSB::sendF3() {
    sendFrame(makeF3(settings_, sonde_));
}
void CUSB::sendF4() {
    sendFrame(makeF4(settings_));
}
void CUSB::sendF5() {
    sendFrame(makeF5(settings_));
}

bool CUSB::sendCommand(const CommandFrame& frame) {
    if (!flags_.usbBound || flags_.quitting || flags_.senderBusy) return false;
    if (!commandSumValid(frame)) return false;
    if (frame.code() == kCmdLogger) lastScale_ = encoderScale(settings_).scale;
    loggerCommand_.record(frame);
    return sendFrame(frame);
}

bool CUSB::checkLoggerReadBack(const std::uint8_t* logger20) {
    if (!loggerCommand_.resendFor(logger20)) return true;
    sendF1();
    return false;
}

}  // namespace quelt
