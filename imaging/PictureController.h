#pragma once
// The picture side of the main window, without the window: lines into rows (live and replay), the
// clearing of the picture and the scheduling of its paints. The window's timers are state machines
// here: the window (or the command line, or a test) calls tick(now) and onWindowPaint().

#include <functional>
#include <mutex>

#include "config/Settings.h"
#include "imaging/ToolsBmp.h"
#include "platform/Clock.h"
#include "stream/ImageLine.h"

namespace quelt {

inline constexpr Millis kWindowPaintDelay = 100;  // timer 409
inline constexpr int kMinRefreshTime = 100;       // timer 420 period floor

struct PictureHooks {
    std::function<bool()> recording;           // ModeFlags recording
    std::function<bool()> decimating;          // the communication auto-check thins the stream
    std::function<void()> zeroLinkCounters;    // dispatched, missed, decoded, replaced
    std::function<void()> travelToolsRestart;  // restarts the travel tools' timer when they are visible
    std::function<void()> cleared;             // after every clear (the quality tracks clear with it)
    std::function<void()> rowDrawn;            // after every row, before it is painted (the quality tracks)
};

class PictureController {
  public:
    PictureController(CToolsBmp& picture, PictureSurface& surface, const Settings& settings,
                      const Clock& clock, PictureHooks hooks = {});
    virtual ~PictureController() = default;

    // A live line: only a clear while decimating; a clear first when not recording and the direction
    // changed; then the row with rotation on, ShownGamma and the live depth, and a paint request.
    void addImageLine(bool down, int resolutionCode, const ImageLine& line, const RowInputs& in,
                      double depth);
    // A replayed line: the log's direction, rotation off, the file depth.
    void drawReplayLine(bool logDown, int resolutionCode, const ImageLine& line, const RowInputs& in,
                        double fileDepth);
    void clearPicture();
    // With `now` paints at once; otherwise paints when enough rows are pending and keeps timer 420 going.
    void schedulePaint(bool now);

    // Timers 409 and 420.
    void tick(Millis now);
    // Every paint of the window arms timer 409 (once) so the picture is repainted 100 ms later.
    void onWindowPaint();
    void setMinimised(bool minimised);

    bool cleared() const;            // set by clearPicture, until the next row
    bool lastDirectionDown() const;  // direction of the last drawn line
    bool windowPaintArmed() const;
    bool refreshTimerRunning() const;
    Millis refreshTimerDue() const;
    Millis lastPaintTime() const;

  private:
    void clearLocked();
    void schedulePaintLocked(bool now);
    int refreshPeriod() const;

    CToolsBmp& picture_;
    PictureSurface& surface_;
    const Settings& settings_;
    const Clock& clock_;
    PictureHooks hooks_;

    mutable std::mutex mutex_;
    bool lastDown_ = true;
    bool haveLastDirection_ = false;
    bool cleared_ = false;
    bool minimised_ = false;
    Millis lastPaint_ = 0;
    bool paintArmed_ = false;  // timer 409
    Millis paintDue_ = 0;
    bool refreshRunning_ = false;  // timer 420
    Millis refreshDue_ = 0;
};

}  // namespace quelt
