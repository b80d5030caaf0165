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
    const bool showGamma = settings_.ShownGamma != 0;
    picture_.DrawLineOfPixel(line, in, down, resolutionCode, true, showGamma, depth);
    if (!replayRows_) {
        history_.add(line, resolutionCode, in, true, showGamma, depth);
        const int back = viewport_.rowsBack();
        viewport_.rowAdded(history_.rows(), visibleRows());
        // Anchored unless the oldest rows were let go under the window.
        if (back > 0 && viewport_.rowsBack() != back + 1) historyDirty_ = true;
    }
    if (hooks_.rowDrawn) hooks_.rowDrawn();
    schedulePaintLocked(false);
}

void PictureController::drawReplayLine(bool logDown, int resolutionCode, const ImageLine& line,
                                       const RowInputs& in, double fileDepth, std::int64_t lineIndex) {
    std::lock_guard lock(mutex_);
    lastDown_ = logDown;
    haveLastDirection_ = true;
    cleared_ = false;
    picture_.DrawLineOfPixel(line, in, logDown, resolutionCode, false, settings_.ShownGamma != 0, fileDepth);
    if (replayRows_ && lineIndex >= 0) {
        // The next line keeps the window on its rows; a jump (rewind, seek) starts at the live edge.
        if (lineIndex == replayNewest_ + 1) {
            replayRows_->setNewest(static_cast<std::uint64_t>(lineIndex));
            viewport_.rowAdded(replayRows_->rows(), visibleRows());
        } else {
            replayRows_->setNewest(static_cast<std::uint64_t>(lineIndex));
            viewport_.toLiveEdge();
        }
        replayNewest_ = lineIndex;
    }
    if (hooks_.rowDrawn) hooks_.rowDrawn();
    schedulePaintLocked(false);
}

void PictureController::clearPicture() {
    std::lock_guard lock(mutex_);
    clearLocked();
}

void PictureController::clearLocked() {
    picture_.ClearImageBuffer();
    history_.markFresh();
    historyDirty_ = true;
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
    if (!viewport_.atLiveEdge()) {
        paintHistoryLocked();
        return;
    }
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
        if (!minimised_) paintLocked(true);
    }
}

void PictureController::paintLocked(bool force) {
    if (viewport_.atLiveEdge())
        picture_.DrawImageBuffer(surface_, force);
    else
        paintHistoryLocked();
}

int PictureController::visibleRows() const {
    return std::clamp(surface_.clientHeight(), 0, picture_.screenHeight());
}

RowSource& PictureController::rowsLocked() {
    if (replayRows_) return *replayRows_;
    return history_;
}

void PictureController::paintHistoryLocked() {
    const int visible = visibleRows();
    if (visible != historyVisible_) historyDirty_ = true;
    if (!historyDirty_ || minimised_) return;
    RowSource& rows = rowsLocked();
    viewport_.clamp(rows.rows(), visible);
    if (viewport_.atLiveEdge()) {
        picture_.DrawImageBuffer(surface_, true);
        return;
    }
    const std::size_t newest = rows.rows() - 1 - static_cast<std::size_t>(viewport_.rowsBack());
    renderer_.render(rows, newest, visible, lastDown_, picture_.colourTable(), surface_);
    historyDirty_ = false;
    historyVisible_ = visible;
}

int PictureController::rowsBack() const {
    std::lock_guard lock(mutex_);
    return viewport_.rowsBack();
}

bool PictureController::scrollBack(int rows) {
    std::lock_guard lock(mutex_);
    const bool wasLive = viewport_.atLiveEdge();
    if (!viewport_.scrollBack(rows, rowsLocked().rows(), visibleRows())) return false;
    historyDirty_ = true;
    if (viewport_.atLiveEdge()) {
        if (!wasLive && !minimised_) picture_.DrawImageBuffer(surface_, true);
    } else {
        paintHistoryLocked();
    }
    return true;
}

bool PictureController::scrollUp(int rows) {
    return scrollBack(lastDirectionDown() ? rows : -rows);
}

void PictureController::toLiveEdge() {
    std::lock_guard lock(mutex_);
    if (viewport_.atLiveEdge()) return;
    viewport_.toLiveEdge();
    historyDirty_ = true;
    if (!minimised_) picture_.DrawImageBuffer(surface_, true);
}

std::size_t PictureController::historyRows() const {
    std::lock_guard lock(mutex_);
    return replayRows_ ? replayRows_->rows() : history_.rows();
}

std::size_t PictureController::historyBytes() const {
    std::lock_guard lock(mutex_);
    return history_.bytes();
}

void PictureController::setHistoryBudget(std::size_t bytes) {
    std::lock_guard lock(mutex_);
    history_.setBudget(bytes);
    if (viewport_.clamp(history_.rows(), visibleRows())) historyDirty_ = true;
}

void PictureController::replayRowsFrom(std::unique_ptr<LogRowSource> log) {
    std::lock_guard lock(mutex_);
    replayRows_ = std::move(log);
    replayNewest_ = -1;
    const bool wasLive = viewport_.atLiveEdge();
    viewport_.toLiveEdge();
    historyDirty_ = true;
    if (!wasLive && !minimised_) picture_.DrawImageBuffer(surface_, true);
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
