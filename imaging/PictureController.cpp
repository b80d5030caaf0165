#include "imaging/PictureController.h"

#include <algorithm>

namespace quelt {

PictureController::PictureController(CToolsBmp& picture, PictureSurface& surface, const Settings& settings,
                                     const Clock& clock, PictureHooks hooks)
    : picture_(picture),
      surface_(surface),
      settings_(settings),
      clock_(clock),
      hooks_(std::move(hooks)),
      lastPaint_(clock.now()) {}

int PictureController::refreshPeriod() const {
    return std::max(settings_.RefreshTime, kMinRefreshTime);
}

void PictureController::addImageLine(bool down, int resolutionCode, const ImageLine& line,
                                     const RowInputs& in, double depth) {
    std::lock_guard lock(mutex_);
    if (hooks_.decimating && hooks_.decimating()) {
        clearLocked();
        return;
    }
    bool recording = hooks_.recording && hooks_.recording();
    if (!recording && haveLastDirection_ && down != lastDown_) clearLocked();
    lastDown_ = down;
    haveLastDirection_ = true;
    cleared_ = false;
    picture_.DrawLineOfPixel(line, in, down, resolutionCode, true, settings_.ShownGamma != 0, depth);
    if (hooks_.rowDrawn) hooks_.rowDrawn();
    schedulePaintLocked(false);
}

void PictureController::drawReplayLine(bool logDown, int resolutionCode, const ImageLine& line,
                                       const RowInputs& in, double fileDepth) {
    std::lock_guard lock(mutex_);
    lastDown_ = logDown;
    haveLastDirection_ = true;
    cleared_ = false;
    picture_.DrawLineOfPixel(line, in, logDown, resolutionCode, false, settings_.ShownGamma != 0, fileDepth);
    if (hooks_.rowDrawn) hooks_.rowDrawn();
    schedulePaintLocked(false);
}

void PictureController::clearPicture() {
    std::lock_guard lock(mutex_);
    clearLocked();
}

void PictureController::clearLocked() {
    picture_.ClearImageBuffer();
    cleared_ = true;
    if (hooks_.travelToolsRestart) hooks_.travelToolsRestart();
    if (hooks_.zeroLinkCounters) hooks_.zeroLinkCounters();
    if (hooks_.cleared) hooks_.cleared();
}

void PictureController::schedulePaint(bool now) {
    std::lock_guard lock(mutex_);
    schedulePaintLocked(now);
}

void PictureController::schedulePaintLocked(bool now) {
    Millis t = clock_.now();
    Millis seconds = (t - lastPaint_) / 1000;
    if (seconds * 1000 > settings_.ScreenRefreshTime) lastPaint_ = t;
    if (minimised_) return;
    if (now) {
        picture_.DrawImageBuffer(surface_, true);
        return;
    }
    if (picture_.PaintIfPending(surface_)) {
        refreshRunning_ = true;
        refreshDue_ = t + refreshPeriod();
    } else if (!refreshRunning_) {
        refreshRunning_ = true;
        refreshDue_ = t + refreshPeriod();
    }
}

void PictureController::tick(Millis now) {
    std::lock_guard lock(mutex_);
    if (paintArmed_ && now >= paintDue_) {
        paintArmed_ = false;
        schedulePaintLocked(true);
    }
    if (refreshRunning_ && now >= refreshDue_) {
        refreshRunning_ = false;
        if (!minimised_) picture_.DrawImageBuffer(surface_, true);
    }
}

void PictureController::onWindowPaint() {
    std::lock_guard lock(mutex_);
    if (minimised_ || paintArmed_) return;
    paintArmed_ = true;
    paintDue_ = clock_.now() + kWindowPaintDelay;
}

void PictureController::setMinimised(bool minimised) {
    std::lock_guard lock(mutex_);
    minimised_ = minimised;
}

bool PictureController::cleared() const {
    std::lock_guard lock(mutex_);
    return cleared_;
}
bool PictureController::lastDirectionDown() const {
    std::lock_guard lock(mutex_);
    return lastDown_;
}
bool PictureController::windowPaintArmed() const {
    std::lock_guard lock(mutex_);
    return paintArmed_;
}
bool PictureController::refreshTimerRunning() const {
    std::lock_guard lock(mutex_);
    return refreshRunning_;
}
Millis PictureController::refreshTimerDue() const {
    std::lock_guard lock(mutex_);
    return refreshDue_;
}
Millis PictureController::lastPaintTime() const {
    std::lock_guard lock(mutex_);
    return lastPaint_;
}

}  // namespace quelt
