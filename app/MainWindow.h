#pragma once
// The main window of the desktop program: the picture, the depth panel, the probe control panel with
// the transport, the status bar and the menus. It is a thin view over the core models: the picture
// controller, the probe panel model and the transport, all driven by tick(now) from its timers.

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QScrollArea>
#include <QTimer>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <set>

#include "app/KeyChord.h"
#include "app/LiveSource.h"
#include "imaging/Palette.h"
#include "imaging/PictureController.h"
#include "imaging/ToolsBmp.h"
#include "link/LinkState.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "platform/SwitchStore.h"
#include "stream/Acquisition.h"
#include "stream/ImageLine.h"
#include "stream/LiveState.h"
#include "stream/ModeFlags.h"
#include "stream/ProbePanel.h"
#include "stream/QualityTracks.h"
#include "stream/StreamPorts.h"
#include "stream/ToolsStream.h"
#include "stream/Transport.h"

namespace quelt {
struct ProgramContext;
}

namespace quelt::ui {
class PictureView;
class QualityTracksPanel;
class PictureEdge;
class CDephtDlg;
class CAlertDlg;
class CToolsProbeDlg;
class CTravelWindowDlg;
class CTechnicalToolsDlg;
class LoggerSetup;
struct DepthInputs;
}  // namespace quelt::ui

namespace quelt::app {

class CPowerDlg;
class CEndProcessDlg;

inline constexpr const char* kProductBanner = "VEXA Acquisition software";
inline constexpr const char* kProductVersion = "4.10";
inline constexpr const char* kAcquisitionMode = "Acquisition Mode.";
inline constexpr const char* kNoHardware = "Not hardware detected.";
inline constexpr const char* kSwitchOffToLeave = "Sonde must be switched off before leaving program.";
inline constexpr const char* kProbablyPowered =
    "The sonde is probably powered on. Do you want to close the application ?";
inline constexpr const char* kSwitchOffForReplay =
    "Sonde must be switched Off before entering in Replay Mode.";
inline constexpr const char* kSwitchOnToRecord =
    "Sonde must be switched On and ready before entering in Record Mode.";
inline constexpr const char* kSameFileName = "Same file name exist, do you want replace this ?";
inline constexpr const char* kHtmlLatency =
    "latency exceeded for the creation of images JPEG, await or start again the application.";
inline constexpr const char* kEndOfLog = "End of log.";
inline constexpr const char* kHeaderFilter = "Header files (*.hed *.HED)";

// "VEXA Acquisition software version" + a non-breaking space + "4.10".
QString mainWindowTitle();

// The space a window system's frame takes around the client area, allowed for when the window is sized
// before it has been framed; and the margin around the picture and the panel column.
inline constexpr QSize kFrameAllowance{8, 40};
inline constexpr int kLayoutMargin = 4;

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    MainWindow(ProgramContext& context, Operator& op, LiveSource& source, const Clock& clock,
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Menu commands.
    void OpenAndPlay();
    void NewLog();
    // "Open in &HTML": the report of a chosen log from the chosen start, written on a thread of its own.
    void OpenInHtml();
    bool htmlBusy() const { return htmlBusy_; }
    QProgressBar* progressBar() const { return progress_; }
    // Sizes the window for a screen's available area: the full width of its content when it fits,
    // else the screen's width with the panel column scrolling; the pictures take the height.
    void fitToScreen(const QRect& available);
    // Called when the operator switches the sonde off, before the power-off zeroes the link counters.
    std::function<void()> onPowerOff;
    // The recording of "&New log." once its dialogs are done: `down` is the recording direction.
    bool startNewLog(const std::string& headerPath, bool down);
    void showAlarm(int type);
    void connectRecordingFaults();
    void showMagnifier();
    // "Tool &Box": shows the tools box at its placement and fills it.
    void ToolBox();
    // The private message 1034: 500 the technical tools, 502 a change of depth unit, 501 nothing.
    void message1034(int parameter);
    void openTechnicalTools();
    int technicalToolsOpened() const { return technicalToolsOpened_; }
    // Tests answer the technical tools dialog here instead of running it modally.
    std::function<void(ui::CTechnicalToolsDlg&)> technicalToolsHook;
    void setEndProcessWindow(CEndProcessDlg* end) { end_ = end; }
    ui::CToolsProbeDlg* toolsBox() const { return tools_; }
    int shutdownPauseMs = 500;  // the pause after the settings are saved
    void choosePalette();
    ui::DepthInputs depthInputs() const;
    ui::CAlertDlg* alertWindow() const { return alert_; }
    void ImperialDepth();
    // "&Travel and LevelTime tools" and the probe panel's TravelWindow button.
    void TravelTools();
    ui::CTravelWindowDlg* travelTools() { return travel_; }
    void showAbout();
    // The leaving rule: true when the program may close (Exit and the close box).
    bool leavingAllowed();

    // Transport and power buttons of the probe panel.
    void onPower();
    void onRecord();
    void onPause();
    void onStop();
    void onPlay();
    void onRewind();

    // The 250 ms status update (timer 410).
    void mainTick(Millis now);
    // The deadlines of the picture controller and the probe panel.
    void modelTick(Millis now);
    // One due line of the replay; true when a line was drawn.
    bool replayTick(Millis now);
    // Refreshes the depth panel and the probe panel's counters from the live record.
    void RefreshDataView(int code);
    void setOrientationLabels(int code);
    void modeMessage(const std::string& text);
    void clearPicture();
    // Looks `rows` rows back from the live edge, as the wheel does.
    void scrollPictureBack(int rows);

    // For the program's wiring and tests.
    ModeFlags& modeFlags() { return flags_; }
    StreamShared& shared() { return shared_; }
    std::atomic<int>& linkStatus() { return linkStatus_; }
    LiveState& live() { return live_; }
    ProbePanel& probePanel() { return panel_; }
    Acquisition& acquisition() { return *acq_; }
    Transport& transport() { return transport_; }
    CToolsBmp& picture() { return picture_; }
    PictureController& pictureController() { return *controller_; }
    ui::PictureView* pictureView() const { return view_; }
    QualityTracks& qualityTracks() { return tracks_; }
    ui::QualityTracksPanel* qualityTracksPanel() const { return tracksPanel_; }
    // "&Quality tracks" of the Options menu: the panel shown or hidden, and remembered.
    void showQualityTracks(bool on);
    ui::CDephtDlg* depthDisplay() const { return depth_; }
    CPowerDlg* powerPanel() const { return power_; }
    ui::LoggerSetup* loggerSetup() const { return setup_.get(); }
    QString statusPart(int part) const;
    QString orientationLabel(int i) const;
    QAction* action(const char* name) const;
    int leaveDelayMs = 1000;  // the wait after "Yes" to the leaving question

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    class Ports;
    struct HtmlJob;
    // The file pair of a new log: the save dialog, the orientation suffix and the replace question
    // (No names it again); the paths record updated and saved. False when the operator cancels.
    bool nameNewLog(std::string& headerPath);
    void htmlDone(bool ok, const std::string& page);
    void waitForHtml();
    // The steps of the constructor, in their order.
    void buildPicture();
    void buildLayout();
    void makePictureController();
    void connectDepthPanel();
    void makeToolWindows();
    void connectPowerPanel();
    // The engine's and the live source's callbacks, queued to this thread and coalesced.
    void connectEngine();
    void startTimers();
    void buildMenus();
    void addTransportShortcuts();
    void showRecordingFigures();
    std::string recordingFiguresNow() const;
    void showRecordingSummary();
    void buildStatusBar();
    void scheduleReplay();
    void drawReplayLine(const ParsedLine& parsed, std::uint64_t position);
    void setupScrollBack();
    void showSplash();
    void shutdown();
    void savePlacements();
    void layoutStatusParts();
    void showDevice();
    void useSimulatedLogger(bool on);
    void restorePlacement();
    RowInputs rowInputs(const LiveValues& v, const Settings& settings) const;
    // The quality tracks panel beside the pictures and its Options entry.
    void createQualityTracks();
    // The line the picture is given next, for the quality tracks: its row is added when the picture
    // draws it (on the same thread, under the picture's lock), so the two never differ by a row.
    void nextQualityRow(const LiveValues& v, double depth, bool down, bool live);
    void addQualityRow();

    ProgramContext& context_;
    Operator& op_;
    LiveSource& source_;
    const Clock& clock_;

    // The engine: the live records, the probe panel model, the transport and the recorder.
    std::unique_ptr<Acquisition> acq_;
    ModeFlags& flags_;
    StreamShared& shared_;
    LinkCounters& counters_;
    std::atomic<int>& linkStatus_;
    LinkFlags& linkFlags_;
    LiveState& live_;
    ReplyEcho& echo_;
    ImageLine& image_;
    Transport& transport_;
    ProbePanel& panel_;
    NullStreamEvents replayEvents_;
    PaletteSet palettes_;
    ColourTable colours_;
    CToolsBmp picture_;
    ui::PictureView* view_ = nullptr;
    QualityTracks tracks_;
    std::unique_ptr<ui::PictureEdge> pictureEdge_;  // the picture window, as the tracks follow it
    std::unique_ptr<PictureController> controller_;
    ui::QualityTracksPanel* tracksPanel_ = nullptr;
    int tracksWidthAdded_ = 0;       // the width the window took on for the panel
    double replayRevolutionMs_ = 0;  // of the log being replayed, from its line times; 0 not yet known
    std::unique_ptr<Ports> ports_;

    // The replay decodes with the log's own settings.
    Settings replaySettings_;
    LineLayout replayLayout_;
    std::unique_ptr<CToolsStream> replayStream_;
    std::string replayDataName_;

    ui::CDephtDlg* depth_ = nullptr;
    CPowerDlg* power_ = nullptr;
    ui::CAlertDlg* alert_ = nullptr;
    ui::CToolsProbeDlg* tools_ = nullptr;
    ui::CTravelWindowDlg* travel_ = nullptr;
    CEndProcessDlg* end_ = nullptr;
    std::unique_ptr<ui::LoggerSetup> setup_;
    KeyChord chord_;
    std::set<int> heldKeys_;
    SwitchStore switchStore_;
    int technicalToolsOpened_ = 0;
    std::array<QLabel*, 7> parts_{};
    QLabel* replacedPart_ = nullptr;  // the replaced-line count of the recording
    std::array<QLabel*, 8> orientation_{};
    QTimer mainTimer_, modelTimer_, replayTimer_;
    std::atomic<bool> refreshQueued_{false};
    std::atomic<bool> statusQueued_{false};
    std::atomic<double> lastStepMm_{kNoValue};
    int idleTicks_ = 0;
    bool sondeIconBlink_ = false;
    bool closing_ = false;
    bool placed_ = false;
    bool endTimeShown_ = false;  // a replay ended with no logger: its last time stays shown
    QScrollArea* panels_ = nullptr;
    QProgressBar* progress_ = nullptr;
    std::unique_ptr<HtmlJob> html_;
    bool htmlBusy_ = false;
    QString htmlRemembered_;
    QLabel* recordingFigures_ = nullptr;  // the recording's own figures, shown while recording  // status
                                          // part 0 before the report, put back when it fails
};

}  // namespace quelt::app
