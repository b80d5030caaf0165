#pragma once
// The picture side of the main window, without the window: lines into rows (live and replay), the
// clearing of the picture and the scheduling of its paints. The window's timers are state machines
// here: the window (or the command line, or a test) calls tick(now) and onWindowPaint().

#include <functional>
#include <mutex>

#include "config/Settings.h"
#include "imaging/ScrollBack.h"
#include "imaging/ToolsBmp.h"
#include "platform/Clock.h"
#include "stream/ImageLine.h"

namespace quelt {

inline constexpr Millis kWindowPaintDelay = 100;  // timer 409
inline constexpr int kMinRefreshTime = 100;       // timer 420 period floor
// What the live scroll-back history may hold: some 700 000 rows of 360 samples a picture, twice that
// at 180 samples. Past it the oldest rows are let go.
inline constexpr std::size_t kScrollBackBudget = std::size_t{512} << 20;

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
    // A replayed line: the log's direction, rotation off, the file depth. `lineIndex` is its place in
    // the data file, for the scroll-back over the log (see replayRowsFrom).
    void drawReplayLine(bool logDown, int resolutionCode, const ImageLine& line, const RowInputs& in,
                        double fileDepth, std::int64_t lineIndex = -1);
    void clearPicture();
    // With `now` paints at once; otherwise paints when enough rows are pending and keeps timer 420 going.
    void schedulePaint(bool now);

    // Timers 409 and 420.
    void tick(Millis now);
    // Every paint of the window arms timer 409 (once) so the picture is repainted 100 ms later.
    void onWindowPaint();
    void setMinimised(bool minimised);

    // --- Scroll-back -----------------------------------------------------------------------------
    // The picture looks back over the rows drawn since the start (live) or over the log being
    // replayed; the live picture goes on underneath and the window stays on its rows until it is
    // brought back to the live edge.
    //
    // Rows back from the live edge: 0 shows the newest row at the window's edge, N ends the window
    // N rows before the newest row.
    int rowsBack() const;
    // Positive looks further back; clamped to the oldest row and the live edge. True when it moved.
    bool scrollBack(int rows);
    // The wheel: `rows` rows further up the picture come into view (older rows when logging down,
    // newer ones when logging up); negative scrolls down.
    bool scrollUp(int rows);
    void toLiveEdge();
    // Rows that can be looked back over.
    std::size_t historyRows() const;
    std::size_t historyBytes() const;
    // What the history of live rows may hold; 0, the default, keeps none (no scroll-back of live
    // rows: the command line never looks back). The desktop program gives it kScrollBackBudget.
    void setHistoryBudget(std::size_t bytes);
    // The rows of a log being replayed, read back from its file; nullptr gives the live rows back.
    // Either way the window returns to the live edge.
    void replayRowsFrom(std::unique_ptr<LogRowSource> log);

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
    // The live picture at the live edge, the history's window when looking back.
    void paintLocked(bool force);
    void paintHistoryLocked();
    RowSource& rowsLocked();
    int visibleRows() const;

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

    LineHistory history_{0};
    std::unique_ptr<LogRowSource> replayRows_;
    std::int64_t replayNewest_ = -1;
    ScrollViewport viewport_;
    ScrollBackRenderer renderer_;
    bool historyDirty_ = true;  // the window looking back must be drawn again
    int historyVisible_ = 0;    // the height it was drawn for
};

}  // namespace quelt
