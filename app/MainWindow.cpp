#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplashScreen>
#include <QStatusBar>
#include <QThread>
#include <QVBoxLayout>
#include <filesystem>
#include <thread>

#include "app/AboutBox.h"
#include "app/EndProcessDlg.h"
#include "app/PowerDlg.h"
#include "config/Diagnostics.h"
#include "config/ProgramContext.h"
#include "export/ExportAdapters.h"
#include "export/ExportJob.h"
#include "export/HtmlReport.h"
#include "imaging/QualityTracksPicture.h"
#include "link/DeviceFactory.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "stream/DepthSetting.h"
#include "stream/LogFile.h"
#include "stream/LogPaths.h"
#include "stream/ReplayLine.h"
#include "ui/header/HeaderDlg.h"
#include "ui/setup/CheckCommDlg.h"
#include "ui/setup/FileResamplingDlg.h"
#include "ui/setup/LasExportDlg.h"
#include "ui/setup/PRecordingMode.h"
#include "ui/setup/PSetDepthDlg.h"
#include "ui/setup/PSetDepthPlayer.h"
#include "ui/setup/PropertyLoggerDlg.h"
#include "ui/travel/TravelWindowDlg.h"
#include "ui/widgets/ColorStaticST.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/PaletteDlg.h"
#include "ui/widgets/PictureView.h"
#include "ui/widgets/Placement.h"
#include "ui/widgets/QualityTracksPanel.h"
#include "ui/widgets/ToolsProbeDlg.h"

namespace quelt::app {

namespace fs = std::filesystem;

namespace {

// The status bar, the menus' enabled states and the power panel follow the link at this pace (the
// system's timer 410, 250 ms).
constexpr int kStatusPeriodMs = 250;
// The picture controller's paint deadlines, the probe panel's command deadlines and the alarms' ends
// are checked at this pace: the ceiling of the picture's repaint rate (50 a second).
constexpr int kModelPeriodMs = 20;
// How long the splash picture stays up.
constexpr int kSplashMs = 5000;
// The screen assumed when the platform reports none: a field laptop's.
constexpr QRect kFallbackScreen{0, 0, 1024, 768};

}  // namespace

QString mainWindowTitle() {
    return QString(kProductBanner) + " version" + QChar(0x00A0) + kProductVersion;
}

// The window's side of the probe panel model; its commands are the engine's.
class MainWindow::Ports final : public ProbePanelWindow {
  public:
    explicit Ports(MainWindow& w) : w_(w) {}
    void beep(int, int) override { QApplication::beep(); }
    void clearPicture() override {
        w_.clearPicture();
        w_.controller_->schedulePaint(true);
    }
    void resetLiveOrientation() override {
        w_.live_.update([](LiveValues& v) {
            v.hx = v.hy = v.hz = v.gx = v.gy = v.gz = kNoValue;
            v.highSide = v.magToolface = v.tilt = v.azimuth = kNoValue;
        });
        w_.acq_->stream.resetOrientationFilter();
        if (w_.replayStream_) w_.replayStream_->resetOrientationFilter();
    }
    void runStop() override {
        if (w_.power_->stop->isEnabled()) w_.onStop();
    }
    void modeMessage(const std::string& text) override { w_.modeMessage(text); }
    void refreshTravelTools() override {
        if (w_.travel_) w_.travel_->refreshNotification();
    }

  private:
    MainWindow& w_;
};

MainWindow::MainWindow(ProgramContext& context, Operator& op, LiveSource& source, const Clock& clock,
                       QWidget* parent)
    : QMainWindow(parent),
      context_(context),
      op_(op),
      source_(source),
      clock_(clock),
      acq_(std::make_unique<Acquisition>(context, clock)),
      flags_(acq_->modes),
      shared_(acq_->shared),
      counters_(acq_->counters),
      linkStatus_(acq_->linkStatus),
      linkFlags_(acq_->linkFlags),
      live_(acq_->live),
      echo_(acq_->echo),
      image_(acq_->image),
      transport_(acq_->transport),
      panel_(acq_->panel) {
    showDevice();
    buildPicture();
    buildLayout();
    makePictureController();
    connectDepthPanel();
    makeToolWindows();
    buildMenus();
    buildStatusBar();
    createQualityTracks();
    setOrientationLabels(context_.settings.PicOriented);
    connectPowerPanel();
    connectEngine();
    startTimers();
    controller_->schedulePaint(true);
    RefreshDataView(kRefreshValues);
    const QScreen* screen = QGuiApplication::primaryScreen();
    fitToScreen(screen ? screen->availableGeometry() : kFallbackScreen);
    qApp->installEventFilter(this);
    showSplash();
}

// The picture, coloured by the palette in use, with a buffer as tall as the screen.
void MainWindow::buildPicture() {
    LoadPalettes(resolveNoCase(context_.home / kPaletteFileName).string(), context_.settings, palettes_,
                 colours_);
    picture_.setColourTable(colours_);
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenHeight = screen ? screen->geometry().height() : kFallbackScreen.height();
    picture_.InitImageBuffer(std::max(screenHeight, kMinScreenHeight), op_);
}

// The orientation labels over the picture on the left, the depth and power panels in a column on the right.
void MainWindow::buildLayout() {
    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
    auto* left = new QVBoxLayout;
    auto* labels = new QGridLayout;
    for (int i = 0; i < 8; ++i) {
        orientation_[static_cast<size_t>(i)] = new QLabel(central);
        orientation_[static_cast<size_t>(i)]->setFixedWidth(90);
        labels->addWidget(orientation_[static_cast<size_t>(i)], 0, i < 4 ? i : i + 1);
    }
    labels->setColumnMinimumWidth(4, kTrackWidth);
    labels->setHorizontalSpacing(0);  // four labels over each 360-pixel picture, no wider
    left->addLayout(labels);
    view_ = new ui::PictureView(central);
    left->addWidget(view_, 1);
    columns->addLayout(left);
    // The panel column scrolls when the screen is too small for it (a field laptop's 1024 x 768), so
    // that every control stays reachable beside the full-width picture.
    panels_ = new QScrollArea(central);
    panels_->setObjectName("panelColumn");
    panels_->setFrameShape(QFrame::NoFrame);
    panels_->setWidgetResizable(true);
    auto* panelColumn = new QWidget(panels_);
    auto* right = new QVBoxLayout(panelColumn);
    right->setContentsMargins(0, 0, 0, 0);
    depth_ = new ui::CDephtDlg(colours_, context_.settings, panelColumn);
    power_ = new CPowerDlg(panelColumn);
    right->addWidget(depth_);
    right->addWidget(power_);
    right->addStretch();
    panels_->setWidget(panelColumn);
    columns->addWidget(panels_, 1);
    setCentralWidget(central);
}

// The picture controller and the window's half of the probe panel's ports.
void MainWindow::makePictureController() {
    PictureHooks hooks;
    hooks.recording = [this] { return flags_.recording.load(); };
    hooks.cleared = [this] { tracks_.clear(); };
    hooks.rowDrawn = [this] { addQualityRow(); };
    hooks.zeroLinkCounters = [this] {
        counters_.fullDecoded = 0;
        counters_.fullReplaced = 0;
        source_.zeroCounters();
    };
    pictureEdge_ = std::make_unique<ui::PictureEdge>(*view_, tracks_);
    controller_ =
        std::make_unique<PictureController>(picture_, *pictureEdge_, context_.settings, clock_, hooks);
    setupScrollBack();
    ports_ = std::make_unique<Ports>(*this);
    acq_->front = ports_.get();
}

void MainWindow::connectDepthPanel() {
    depth_->inputs = [this] { return depthInputs(); };
    depth_->onShowMagnifier = [this] { showMagnifier(); };
    depth_->magnifier()->onLeave = [this] {
        context_.placements.set(PlacementSlot::DepthMagnifier, ui::placementOf(depth_->magnifier()));
    };
    depth_->onPalette = [this] { choosePalette(); };
    depth_->onSetDepth = [this] {
        ui::CPSetDepthDlg dialog(
            context_.settings, context_.sondes->current().heightOffset,
            [this](double depth) { source_.sendF2(depth); }, this);
        dialog.exec();
    };
    depth_->onBlackAndWhite = [this](bool on) {
        context_.settings.BlackAndWhite = on;
        context_.preferences->WriteInt("BlackAndWhite", on ? 1 : 0, "QueltLogger");
    };
}

// The alarm window, the tools box, the travel tools and the logger setup, all made once and shown on demand.
void MainWindow::makeToolWindows() {
    alert_ = new ui::CAlertDlg(this);
    tools_ = new ui::CToolsProbeDlg(this);
    tools_->onLeave = [this] { context_.placements.set(PlacementSlot::ToolsBox, ui::placementOf(tools_)); };
    ui::TravelHost travelHost;
    travelHost.sendF5 = [this] { static_cast<LoggerCommands&>(*acq_).sendF5(); };
    travelHost.linkState = [this] {
        TravelLinkState s;
        s.framesArriving = linkStatus_.load() == kLinkFullData;
        s.sondePowered = panel_.powered();
        s.replay = flags_.replayLoaded;
        s.recording = flags_.recording || flags_.recordPaused;
        s.autoCheck = acq_->linkFlags.decimate;
        live_.read([&s](const LiveValues& v) {
            s.blanking = v.blanking;
            s.window = v.window;
            s.gain = v.gain;
        });
        return s;
    };
    travelHost.offsetEditOpen = [this] { return panel_.offsetEditing.load(); };
    travel_ = new ui::CTravelWindowDlg(context_, op_, clock_, std::move(travelHost), this);
    ui::LoggerSetup::Hooks setupHooks;
    setupHooks.setOrientationLabels = [this](int code) { setOrientationLabels(code); };
    setupHooks.refreshToolsBox = [this] {
        if (tools_->isVisible()) tools_->refresh(live_.snapshot(), flags_.replayLoaded, linkStatus_.load());
    };
    setupHooks.runCommCheck = [this](int sheetWidth) {
        ui::CCheckCommDlg::run(*acq_, op_, clock_, this, sheetWidth);
    };
    setupHooks.travelToolsOffsetEdit = [this](int code) { travel_->offsetEditNotification(code); };
    setup_ = std::make_unique<ui::LoggerSetup>(*acq_, op_, clock_, context_.placements, setupHooks, this);
}

// The transport and power buttons, their shortcuts and the replay speed.
void MainWindow::connectPowerPanel() {
    connect(power_->power, &QToolButton::clicked, this, [this] { onPower(); });
    connect(power_->record, &QToolButton::clicked, this, [this] { onRecord(); });
    connect(power_->pause, &QToolButton::clicked, this, [this] { onPause(); });
    connect(power_->stop, &QToolButton::clicked, this, [this] { onStop(); });
    connect(power_->play, &QToolButton::clicked, this, [this] { onPlay(); });
    connect(power_->rewind, &QToolButton::clicked, this, [this] { onRewind(); });
    connect(power_->setLogger, &QToolButton::clicked, this, [this] { ToolBox(); });
    connect(power_->comm, &QToolButton::clicked, this, [this] { setup_->dialog()->open(); });
    connect(power_->travelWindow, &QToolButton::clicked, this, [this] { TravelTools(); });
    power_->travelWindow->setEnabled(true);  // its window exists from here on
    addTransportShortcuts();
    connect(power_->speed, &QSlider::valueChanged, this,
            [this](int v) { transport_.pacer().setPosition(v); });
}

void MainWindow::connectEngine() {
    // The engine and the link call these on their threads: everything that reaches a widget is queued
    // to this thread, and a burst of refresh requests costs one refresh. Rows are built on the thread
    // that delivers the line, under the picture's mutex.
    auto queued = [this](auto fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
    auto refresh = [this, queued](int code) {
        if (refreshQueued_.exchange(true)) return;
        queued([this, code] {
            refreshQueued_ = false;
            RefreshDataView(code);
        });
    };
    acq_->onRefresh = refresh;
    acq_->onImageLine = [this, queued](std::uint8_t direction, int code) {
        const LiveValues v = live_.snapshot();
        lastStepMm_ = image_.step;  // the line is written on this thread; the window reads the copy
        nextQualityRow(v, v.imageDepth, direction != 0, true);
        controller_->addImageLine(direction != 0, code, image_, rowInputs(v, context_.settings),
                                  v.imageDepth);
        // While the rotation offset is edited, the probe page draws the line's amplitudes (copied here,
        // where the line is written).
        if (panel_.offsetEditing) {
            const int n = image_.samplesPerTurn;
            const auto* a = image_.sampleLine.data() + ImageLine::kAmplitudeOffset;
            queued([this, line = std::vector<std::uint8_t>(a, a + n), r = v.rotation] {
                setup_->dialog()->offsetViewLine(line.data(), static_cast<int>(line.size()), r);
            });
        }
        travel_->postLine(image_, v.rotation, true);
    };
    acq_->onMessage = [this, queued](const std::string& text) {
        queued([this, text] { op_.message(text, MessageKind::Error); });
    };
    acq_->onAlarm = [this, queued](int type) { queued([this, type] { showAlarm(type); }); };
    acq_->onAlarmEnded = [](int) {};  // the alarm window stays until the operator closes it
    acq_->onRecordingFailed = [this, queued](const std::string& why) {
        queued([this, why] {
            if (!why.empty()) op_.message(why, MessageKind::Error);
            onStop();
        });
    };
    connectRecordingFaults();
    LiveHooks live;
    live.statusChanged = [this, queued] {
        if (statusQueued_.exchange(true)) return;
        queued([this] {
            statusQueued_ = false;
            idleTicks_ = 0;
        });
    };
    live.refresh = refresh;
    live.pressStop = [this, queued] {
        queued([this] {
            if (power_->stop->isEnabled()) onStop();
        });
    };
    live.pressPower = [this, queued] {
        queued([this] {
            if (panel_.powered()) onPower();
        });
    };
    live.message = [this, queued](const std::string& text) {
        queued([this, text] { op_.message(text, MessageKind::Error); });
    };
    live.beep = [this, queued](int, int) { queued([] { QApplication::beep(); }); };
    source_.start(*acq_, live);
}

// The probe panel's clock starts now; the two periodic timers and the single-shot replay timer.
void MainWindow::startTimers() {
    const Millis now = clock_.now();
    panel_.start(now);
    connect(&mainTimer_, &QTimer::timeout, this, [this] { mainTick(clock_.now()); });
    connect(&modelTimer_, &QTimer::timeout, this, [this] { modelTick(clock_.now()); });
    replayTimer_.setSingleShot(true);
    connect(&replayTimer_, &QTimer::timeout, this, [this] {
        replayTick(clock_.now());
        scheduleReplay();
    });
    mainTimer_.start(kStatusPeriodMs);
    modelTimer_.start(kModelPeriodMs);
}

MainWindow::~MainWindow() {
    waitForHtml();
    mainTimer_.stop();
    modelTimer_.stop();
    replayTimer_.stop();
    source_.stop();
}

void MainWindow::buildMenus() {
    auto add = [this](QMenu* menu, const char* name, const char* text, auto slot) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        if constexpr (!std::is_same_v<decltype(slot), std::nullptr_t>)
            connect(a, &QAction::triggered, this, slot);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setToolTipsVisible(true);
    add(file, "newLog", "&New log.", [this] { NewLog(); });
    add(file, "openPlay", "Open and &Play", [this] { OpenAndPlay(); });
    add(file, "openHtml", "Open in &HTML", [this] { OpenInHtml(); });
    file->addSeparator();
    // The exports need the sonde off and stop a playing log.
    auto exportReady = [this] {
        if (panel_.powered()) {
            op_.message(kSwitchOffForReplay, MessageKind::Error);
            return false;
        }
        if (flags_.playing) onStop();
        return true;
    };
    add(file, "las", "Generate a &LAS20", [this, exportReady] {
        if (!exportReady()) return;
        ui::CLasExportDlg dlg(context_, op_, nullptr, this);
        dlg.exec();
    });
    add(file, "resampling", "&Resampling", [this, exportReady] {
        if (!exportReady()) return;
        ui::CFileResamplingDlg dlg(
            context_, op_, nullptr,
            [this](const std::string& s) { parts_[0]->setText(QString::fromStdString(s)); }, this);
        dlg.exec();
    });
    file->addSeparator();
    add(file, "exit", "&Exit", [this] { close(); });

    QMenu* options = menuBar()->addMenu("&Options");
    options->setToolTipsVisible(true);
    // Enabled by the status poll once the panel runs.
    add(options, "loggerSetup", "&Logger Setup", [this] { setup_->dialog()->open(); })->setEnabled(false);
    add(options, "travelTools", "&Travel and LevelTime tools", [this] { TravelTools(); });
    add(options, "toolBox", "Tool &Box", [this] { ToolBox(); });
    QAction* imperial = add(options, "imperial", "&Imperial Depth", [this] { ImperialDepth(); });
    imperial->setCheckable(true);
    imperial->setChecked(context_.settings.SetDepthUnit == 1);
    QAction* simulated =
        add(options, "simLogger", "Simulated logger", [this](bool on) { useSimulatedLogger(on); });
    simulated->setCheckable(true);
    simulated->setChecked(source_.simulated());

    QMenu* help = menuBar()->addMenu("&Help");
    add(help, "about", "&About QueltLogger...", [this] { showAbout(); });
}

void MainWindow::buildStatusBar() {
    for (size_t i = 0; i < parts_.size(); ++i) {
        parts_[i] = new QLabel(this);
        parts_[i]->setObjectName(QString("part%1").arg(i));
        statusBar()->addWidget(parts_[i], 0);
    }
    replacedPart_ = new QLabel(this);
    replacedPart_->setObjectName("replacedLines");
    statusBar()->addPermanentWidget(replacedPart_);
    parts_[0]->setText(kAcquisitionMode);
    for (size_t i = 4; i < 7; ++i)
        parts_[i]->setText(QString::fromUtf8("\u25CB"));
    // The HTML report's progress, shown in the place of parts 2 and 3 while its pictures are written.
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progress");
    progress_->setRange(0, 100);
    progress_->hide();
    statusBar()->insertWidget(2, progress_);
}

// Parts 0..6 end at the client width - 490, - 330, - 170, - 75, - 55, - 35 and - 15.
void MainWindow::layoutStatusParts() {
    static constexpr int kRightEdges[7] = {490, 330, 170, 75, 55, 35, 15};
    const int w = width();
    int left = 0;
    for (size_t i = 0; i < parts_.size(); ++i) {
        const int right = std::max(left, w - kRightEdges[i]);
        parts_[i]->setFixedWidth(right - left);
        left = right;
    }
    progress_->setFixedWidth(parts_[2]->width() + parts_[3]->width());
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutStatusParts();
}

QString MainWindow::statusPart(int part) const {
    return parts_.at(static_cast<size_t>(part))->text();
}

QString MainWindow::orientationLabel(int i) const {
    return orientation_.at(static_cast<size_t>(i))->text();
}

void MainWindow::showDevice() {
    const bool simulated = source_.simulated();
    setWindowTitle(mainWindowTitle() + (simulated ? kSimulatedTitleSuffix : ""));
    if (QAction* a = action("simLogger")) a->setChecked(simulated);
}

// The "Simulated logger" entry: the other device at once, while the sonde is off.
void MainWindow::useSimulatedLogger(bool on) {
    std::string error;
    if (!panel_.powered() && !source_.setSimulated(on, error)) op_.message(error, MessageKind::Error);
    showDevice();
}

// The keys of the probe panel's buttons, in a menu of their own. A key presses its button, so it
// obeys the button's rules; Record with the button off (no sonde ready) says why instead of nothing,
// since the key has no greyed button to show it.
void MainWindow::addTransportShortcuts() {
    auto* menu = new QMenu("&Sonde", this);
    struct Key {
        const char* name;
        const char* text;
        const char* key;
        QToolButton* button;
    };
    for (const Key& k :
         {Key{"powerKey", "&Power", "F2", power_->power}, Key{"recordKey", "&Record", "F5", power_->record},
          Key{"pauseKey", "P&ause", "F6", power_->pause}, Key{"stopKey", "&Stop", "F7", power_->stop},
          Key{"playKey", "P&lay", "F8", power_->play}}) {
        QAction* a = menu->addAction(k.text);
        a->setObjectName(k.name);
        a->setShortcut(QKeySequence(k.key));
        QToolButton* button = k.button;
        connect(a, &QAction::triggered, this, [this, button] {
            if (button->isEnabled()) {
                button->click();
            } else if (button == power_->record && !flags_.recording) {
                op_.message(kSwitchOnToRecord, MessageKind::Error);
            }
        });
    }
    QAction* help = nullptr;
    for (QAction* m : menuBar()->actions())
        if (m->text() == "&Help") help = m;
    menuBar()->insertMenu(help, menu);
    if (QAction* exit = action("exit")) exit->setShortcut(QKeySequence("Ctrl+Q"));
}

// The recording's own figures beside the status parts, while recording.
void MainWindow::showRecordingFigures() {
    if (!recordingFigures_) {
        recordingFigures_ = new QLabel(this);
        recordingFigures_->setObjectName("recordingFigures");
        statusBar()->addPermanentWidget(recordingFigures_);
    }
    const bool recording = flags_.recording;
    if (recording) recordingFigures_->setText(QString::fromStdString(recordingFiguresNow()));
    recordingFigures_->setVisible(recording);
}

std::string MainWindow::recordingFiguresNow() const {
    std::error_code ec;
    const std::uintmax_t bytes =
        std::filesystem::file_size(dataPathForHeader(transport_.recordingHeader()), ec);
    return recordingFiguresText(acq_->recordingLogQuality(), ec ? 0 : bytes, acq_->recordingReplaced(),
                                context_.settings.SetDepthUnit);
}

// The figures of the recording just stopped, in one window with the log's paths.
void MainWindow::showRecordingSummary() {
    if (recordingFigures_) recordingFigures_->hide();
    const std::string& header = transport_.recordingHeader();
    op_.message("Recording stopped: " + recordingFiguresNow() + ".\nHeader: " + header +
                    "\nData file: " + dataPathForHeader(header),
                MessageKind::Information);
}

QAction* MainWindow::action(const char* name) const {
    return findChild<QAction*>(name);
}

RowInputs MainWindow::rowInputs(const LiveValues& v, const Settings& settings) const {
    RowInputs in;
    in.takeSettings(settings);
    in.rotation = v.rotation;
    in.gammaCount = static_cast<std::uint16_t>(v.gamma);
    in.gammaTime = static_cast<std::uint8_t>(v.gclk);
    in.gammaCoef = context_.sondes->current().gammaCoef;
    return in;
}

void MainWindow::setOrientationLabels(int code) {
    static const char* const kTexts[3][4] = {
        {"", "| ", "| ", "| "}, {"N", "|E", "|S", "|W"}, {"U", "|R", "|D", "|L"}};
    if (code < 0 || code > 2) return;
    for (size_t i = 0; i < 8; ++i)
        orientation_[i]->setText(kTexts[code][i % 4]);
}

void MainWindow::modeMessage(const std::string& text) {
    parts_[0]->setText(QString::fromStdString(text));
}

void MainWindow::clearPicture() {
    controller_->clearPicture();
}

// --- Quality tracks ------------------------------------------------------------------------------

// The lines a replay's revolution time is measured over: enough for a steady median, read at once.
constexpr std::uint64_t kReplayIntervalLines = 2000;

void MainWindow::createQualityTracks() {
    tracksPanel_ = new ui::QualityTracksPanel(tracks_, view_, pictureEdge_.get(), centralWidget());
    tracksPanel_->depthUnit = [this] { return context_.settings.SetDepthUnit; };
    tracksPanel_->hide();
    // Beside the pictures, before the panel column.
    if (auto* columns = qobject_cast<QHBoxLayout*>(centralWidget()->layout()))
        columns->insertWidget(1, tracksPanel_);
    auto* entry = new QAction("&Quality tracks", this);
    entry->setObjectName("qualityTracks");
    entry->setCheckable(true);
    connect(entry, &QAction::triggered, this, [this](bool on) { showQualityTracks(on); });
    for (QAction* m : menuBar()->actions())
        if (m->menu() && m->menu()->title() == "&Options")
            m->menu()->insertAction(action("simLogger"), entry);
    // Scrolled back, the tracks show the rows the picture shows.
    connect(view_, &ui::PictureView::rowsBackChanged, tracksPanel_, &ui::QualityTracksPanel::setRowsBack);
    if (context_.settings.QualityTracks) showQualityTracks(true);
}

void MainWindow::showQualityTracks(bool on) {
    action("qualityTracks")->setChecked(on);
    if (on != tracksPanel_->isHidden()) return;
    // The header of the tracks stands beside the labels over the pictures: they make room for it.
    orientation_[0]->setMinimumHeight(on ? kQualityTracksHeaderRows : 0);
    tracksPanel_->setVisible(on);
    // The window keeps its width for the pictures and the panel column and takes on the tracks' (as far
    // as the screen allows); before it is first shown, fitting it to the screen does that.
    const int wanted = kQualityTracksWidth + centralWidget()->layout()->spacing();
    if (!placed_) {
        tracksWidthAdded_ = on ? wanted : 0;
    } else if (on) {
        const QScreen* screen = this->screen();
        const int room =
            screen ? screen->availableGeometry().width() - kFrameAllowance.width() : width() + wanted;
        tracksWidthAdded_ = std::clamp(room - width(), 0, wanted);
        setFixedWidth(width() + tracksWidthAdded_);
    } else {
        setFixedWidth(width() - tracksWidthAdded_);
        tracksWidthAdded_ = 0;
    }
    context_.settings.QualityTracks = on;
    context_.preferences->WriteInt("QualityTracks", on ? 1 : 0, "QueltLogger");
}

namespace {
// The line the picture draws next on this thread (the link's reader, or the window in a replay).
struct QualityRow {
    QualityLine line;
    bool down = true;
    bool live = true;
    bool pending = false;
};
thread_local QualityRow nextRow;
}  // namespace

void MainWindow::nextQualityRow(const LiveValues& v, double depth, bool down, bool live) {
    // The gamma rate is the row builder's, known once the row is drawn.
    nextRow = {trackLineOf(v, depth, 0.0, live), down, live, true};
}

void MainWindow::addQualityRow() {
    if (!nextRow.pending) return;
    nextRow.pending = false;
    QualityLimits limits = qualityLimitsOf(context_.settings);
    if (!nextRow.live) {
        if (replayRevolutionMs_ <= 0) {
            const double measured = medianLineInterval(transport_.replayLog(), kReplayIntervalLines);
            replayRevolutionMs_ = measured > 0 ? measured : revolutionMsOf(replaySettings_.MotorPeriod);
        }
        limits.revolutionMs = replayRevolutionMs_;
    }
    tracks_.setLimits(limits);
    nextRow.line.gamma = picture_.currentGammaRate();
    tracks_.add(nextRow.line, nextRow.down);
}

// --- Menu commands -------------------------------------------------------------------------------

void MainWindow::OpenAndPlay() {
    flags_.playing = false;
    if (panel_.powered()) {
        op_.message(kSwitchOffForReplay, MessageKind::Error);
        return;
    }
    auto chosen = op_.chooseFile("Open and Play", openLogProposal(context_.paths), kHeaderFilter, false);
    if (!chosen) return;
    if (flags_.replayLoaded) transport_.Stop(0, op_, clock_.now());
    endTimeShown_ = false;
    OpenedLog log;
    if (openLog(*chosen, *context_.headerIo, op_, log) != OpenLogResult::Ok) {
        power_->DisableTransport();
        return;
    }
    const LogHeader& header = context_.header;
    rememberLog(context_.paths, log.headerPath);
    context_.preferences->SavePaths();
    replayDataName_ = fs::path(log.dataPath).filename().string();
    replayRevolutionMs_ = 0;
    replaySettings_ = replaySettings(context_.settings, header);
    replayLayout_ = log.layout;
    prepareReplay(shared_, log.layout, header);
    shared_.rotationOffset = context_.sondes->current().rotationOffset;
    replayStream_ = std::make_unique<CToolsStream>(replaySettings_, live_, echo_, image_, shared_, counters_,
                                                   linkStatus_, replayEvents_);
    transport_.replayDescending = header.descending;
    controller_->replayRowsFrom(std::make_unique<LogRowSource>(log.dataPath, log.layout, context_.settings,
                                                               header, context_.sondes->current().gammaCoef,
                                                               shared_.rotationOffset));
    transport_.LoadReplay(std::move(log));
    transport_.pacer().setPosition(power_->speed->value());
    modeMessage("Data file : " + replayDataName_);
    clearPicture();
    controller_->schedulePaint(true);
    power_->EnableReplayControls();
    power_->record->setEnabled(false);
    std::int32_t first = 0;
    std::optional<std::int32_t> firstLine;
    if (transport_.replayLog().reader.readDepthField(0, first)) firstLine = first;
    ui::CPSetDepthPlayer replayStart(ReplayStartRange(firstLine, header, context_.settings.SetDepthUnit), op_,
                                     this);
    replayStart.exec();
    if (replayStart.startDepth() != ReplayStartRange::kAll) {
        transport_.seekDepth(replayStart.startDepth(),
                             [this](const std::vector<std::uint8_t>&, const ParsedLine& parsed,
                                    std::uint64_t position) { drawReplayLine(parsed, position); });
        clearPicture();
        controller_->schedulePaint(true);
    }
    // The log is ready: the replay starts with Play.
    RefreshDataView(kRefreshValues);
}

void MainWindow::NewLog() {
    if (linkStatus_.load() != kLinkFullData) {
        op_.message(kSwitchOnToRecord, MessageKind::Error);
        return;
    }
    ui::CPRecordingMode mode(
        context_.settings, shared_, image_.lineDirection,
        [this] { return live_.read([](const LiveValues& v) { return v.imageDepth; }); },
        [this](int code) {
            context_.preferences->SaveSettings();
            setOrientationLabels(code);
        },
        this);
    mode.exec();
    std::string headerPath;
    if (!nameNewLog(headerPath)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    context_.preferences->SaveSettings();
    context_.headerIo->SetHeaderDefaults();
    context_.sondes->LoadSondeDatabase();
    QApplication::restoreOverrideCursor();
    {
        ui::CHeaderDlg editor(
            context_, op_, QImage(QString::fromStdString(resolveNoCase(context_.home / "logo.jpg").string())),
            this);
        editor.exec();  // the header is written whatever button closed it
    }
    flags_.recordState = 1;
    // The direction the recording-mode dialog chose (downwards when it was left without OK).
    startNewLog(headerPath, shared_.recordDirection.load() != 0);
}

bool MainWindow::nameNewLog(std::string& headerPath) {
    for (;;) {
        std::string start = newLogFolder(context_.paths);
        std::error_code ec;
        const std::string last = nativePath(context_.paths.lastHeader);
        if (!last.empty() && fs::is_regular_file(last, ec))
            start = (fs::path(start) / fs::path(last).filename()).string();
        auto chosen = op_.chooseFile("New log", start, kHeaderFilter, true);
        if (!chosen) return false;
        headerPath = newLogHeaderPath(*chosen, context_.settings.PicOriented);
        const fs::path existing = resolveNoCase(headerPath), data = dataPathForHeader(headerPath);
        const bool taken = fs::exists(existing, ec) || fs::exists(data, ec);
        if (taken && !op_.askYesNo(kSameFileName)) continue;  // No: the log is named again
        // A log that another program records is refused before anything of it is replaced or written.
        if (!transport_.writerLock().acquire(data.string())) {
            op_.message(transport_.writerLock().error(), MessageKind::Error);
            return false;
        }
        if (taken) {
            fs::remove(existing, ec);
            transport_.writerLock().truncate();  // emptied under the lock, not deleted from under it
        }
        // The header names its data file from the paths record: it is updated before the header is written.
        rememberLog(context_.paths, headerPath);
        context_.preferences->SavePaths();
        return true;
    }
}

bool MainWindow::startNewLog(const std::string& headerPath, bool down) {
    if (!acq_->startRecording(headerPath, down, op_)) {
        flags_.recordState = 0;
        return false;
    }
    counters_.fullDecoded = 0;
    counters_.fullReplaced = 0;
    modeMessage("Data file : " + fs::path(headerPath).filename().string());
    clearPicture();
    power_->stop->setEnabled(true);
    power_->pause->setEnabled(true);
    return true;
}

// The HTML report of a log, written on a thread of its own so that the window keeps painting its
// progress; the result comes back to the window's thread.
struct MainWindow::HtmlJob {
    Settings settings;
    LogHeader header;
    LineLayout layout;
    ColourTable colours;
    std::string dataPath, logDir, name;
    std::uint64_t start = 0;
    int displayUnit = 0;
    ExportJob job;
};

void MainWindow::OpenInHtml() {
    flags_.playing = false;
    if (panel_.powered()) {
        op_.message(kSwitchOffForReplay, MessageKind::Error);
        return;
    }
    if (htmlBusy_) return;
    auto chosen = op_.chooseFile("Open in HTML", openLogProposal(context_.paths), kHeaderFilter, false);
    if (!chosen) return;
    if (flags_.replayLoaded) onStop();  // the report reads the header the replay was using
    OpenedLog log;
    if (openLog(*chosen, *context_.headerIo, op_, log) != OpenLogResult::Ok) return;
    rememberLog(context_.paths, log.headerPath);
    context_.preferences->SavePaths();
    auto job = std::make_unique<HtmlJob>();
    job->settings = context_.settings;
    job->header = context_.header;
    job->layout = log.layout;
    job->colours = colours_;
    job->dataPath = log.dataPath;
    job->logDir = context_.paths.logDir + "/";
    job->name = fs::path(log.headerPath).stem().string();
    job->displayUnit = context_.settings.SetDepthUnit;
    // Where the report starts: the replay start dialog over the recorded interval.
    std::int32_t first = 0;
    std::optional<std::int32_t> firstLine;
    if (log.reader.readDepthField(0, first)) firstLine = first;
    ui::CPSetDepthPlayer start(ReplayStartRange(firstLine, job->header, job->displayUnit), op_, this);
    start.exec();
    if (start.startDepth() != ReplayStartRange::kAll)
        job->start = log.reader.seekDepthField(0, start.startDepth(), job->header.descending);

    htmlBusy_ = true;
    htmlRemembered_ = parts_[0]->text();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    parts_[2]->hide();
    parts_[3]->hide();
    progress_->setValue(0);
    progress_->show();
    html_ = std::move(job);
    HtmlJob* j = html_.get();
    auto queued = [this](auto fn) { QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection); };
    auto page = std::make_shared<std::string>();
    j->job.start(
        [this, j, queued, page] {
            DataFileLineSource lines;
            if (!lines.open(j->dataPath, j->header)) return false;
            lines.setPosition(j->start);
            ExportReportRaster raster(j->settings, j->header, j->layout, j->colours);
            CHtmlReport report(j->logDir, j->displayUnit, raster);
            report.status = [queued, this](const std::string& text) {
                queued([this, text] { parts_[0]->setText(QString::fromStdString(text)); });
            };
            report.progress = [queued, this](int percent) {
                queued([this, percent] { progress_->setValue(percent); });
            };
            *page = report.pagePath(j->name);
            return report.MakeHtmlReport(lines, j->header, j->name);
        },
        [this, queued, page](bool ok) { queued([this, ok, page] { htmlDone(ok, *page); }); });
}

void MainWindow::htmlDone(bool ok, const std::string& page) {
    if (html_) html_->job.wait();
    html_.reset();
    htmlBusy_ = false;
    QApplication::restoreOverrideCursor();
    progress_->hide();
    parts_[2]->show();
    parts_[3]->show();
    if (ok) {
        parts_[0]->setText(QString::fromStdString(page));
    } else if (!linkFlags_.quitting) {
        op_.message(kHtmlLatency, MessageKind::Error);
        parts_[0]->setText(htmlRemembered_);
    }
}

void MainWindow::waitForHtml() {
    if (html_) html_->job.wait();
}

void MainWindow::ImperialDepth() {
    context_.settings.SetDepthUnit = context_.settings.SetDepthUnit == 1 ? 0 : 1;
    action("imperial")->setChecked(context_.settings.SetDepthUnit == 1);
    setup_->sheet().winch.unitChanged();  // the wheel circumference in the new unit
    setup_->dialog()->winch->refresh();
    context_.preferences->SaveSettings();
    QMetaObject::invokeMethod(
        this, [this] { message1034(502); }, Qt::QueuedConnection);
    clearPicture();
    controller_->schedulePaint(true);
    RefreshDataView(kRefreshValues);
    travel_->unitChanged();
}

void MainWindow::TravelTools() {
    travel_->open(this);
}

void MainWindow::showAlarm(int type) {
    alert_->showAlarm(type);
}

// Full data frames that stop while recording (the logger lost power): the alarm window and the probe
// panel's status say so, and the operator chooses between powering the sonde up again, to go on with
// the same log, and stopping the recording there.
void MainWindow::connectRecordingFaults() {
    acq_->onDataStopped = [this](const std::string& text) {
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                alert_->showFault("Recording stopped !!!", QString::fromStdString(text));
                if (!flags_.recording) return;
                if (op_.askYesNo(text + ".\nPower the sonde up again and resume the recording ?"))
                    acq_->resumeAfterReset(clock_.now());
                else
                    onStop();
            },
            Qt::QueuedConnection);
    };
}

void MainWindow::showAbout() {
    AboutBox box(source_.loggerSerial(), this);
    box.exec();
}

void MainWindow::showSplash() {
    if (context_.settings.SplashScreenOff) return;
    const fs::path logo = resolveNoCase(context_.home / "logo.jpg");
    std::error_code ec;
    if (!fs::exists(logo, ec)) return;
    QPixmap picture(QString::fromStdString(logo.string()));
    if (picture.isNull()) return;
    auto* splash = new QSplashScreen(picture);
    splash->setObjectName("splash");
    splash->setAttribute(Qt::WA_DeleteOnClose);
    QFont f("Arial", 16, QFont::Bold);
    splash->setFont(f);
    splash->showMessage(kProductBanner, Qt::AlignTop | Qt::AlignHCenter, Qt::white);
    splash->show();
    QTimer::singleShot(kSplashMs, splash, &QWidget::close);
}

// --- Leaving -------------------------------------------------------------------------------------

bool MainWindow::leavingAllowed() {
    if (linkStatus_.load() <= 16) return true;
    if (panel_.powered()) {
        op_.message(kSwitchOffToLeave, MessageKind::Error);
        return false;
    }
    if (!op_.askYesNo(kProbablyPowered)) return false;
    if (leaveDelayMs > 0) QThread::msleep(static_cast<unsigned long>(leaveDelayMs));
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    if (!leavingAllowed()) {
        event->ignore();
        return;
    }
    closing_ = true;
    shutdown();
    event->accept();
}

void MainWindow::shutdown() {
    if (flags_.playing) {
        onStop();
        QApplication::processEvents();
    }
    linkFlags_.quitting = true;
    if (end_) end_->say(kShutdownWait);
    replayTimer_.stop();
    waitForHtml();
    savePlacements();
    context_.preferences->SaveSettings();
    if (shutdownPauseMs > 0) QThread::msleep(static_cast<unsigned long>(shutdownPauseMs));
    if (end_) end_->say(kEndingUsb);
    source_.waitReader(2000);
    power_->hide();
    depth_->hide();
    depth_->magnifier()->hide();
    tools_->hide();
    mainTimer_.stop();
    modelTimer_.stop();
    QApplication::processEvents();
}

void MainWindow::savePlacements() {
    context_.placements.set(PlacementSlot::MainWindow, ui::placementOf(this));
    if (depth_->magnifier()->isVisible())
        context_.placements.set(PlacementSlot::DepthMagnifier, ui::placementOf(depth_->magnifier()));
    if (tools_->isVisible()) context_.placements.set(PlacementSlot::ToolsBox, ui::placementOf(tools_));
}

void MainWindow::restorePlacement() {
    const WindowPlacement p = context_.placements.get(PlacementSlot::MainWindow);
    // Show state 0 marks the placement reset's rectangle, which no window chose: only its corner is used.
    ui::applyPlacement(this, p, p.showCmd == 0);
}

void MainWindow::fitToScreen(const QRect& available) {
    setMinimumWidth(0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    // The width at which the panel column shows whole, with room for its vertical scroll bar.
    const int column =
        panels_->widget()->minimumSizeHint().width() + panels_->verticalScrollBar()->sizeHint().width();
    const int natural =
        std::max(sizeHint().width(), minimumSizeHint().width() - panels_->minimumSizeHint().width() + column);
    const int w = std::min(natural, available.width() - kFrameAllowance.width());
    const int h = std::max(minimumSizeHint().height(), available.height() - kFrameAllowance.height());
    resize(w, h);
    setFixedWidth(w);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (placed_) return;
    placed_ = true;
    // The stored placement is the frame's: it is applied once the window system has framed the window.
    setMinimumWidth(0);
    setMaximumWidth(QWIDGETSIZE_MAX);
    restorePlacement();
    // The window keeps the width it was first placed with; only its height follows the user.
    setFixedWidth(width());
}

void MainWindow::ToolBox() {
    const bool wasVisible = tools_->isVisible();
    tools_->show();
    if (!wasVisible) {
        const WindowPlacement slot = context_.placements.get(PlacementSlot::ToolsBox);
        if (slot.valid())
            ui::applyPlacement(tools_, slot, true);
        else
            ui::placeUnder(tools_, this, 4);
    }
    tools_->raise();
    tools_->refresh(live_.snapshot(), flags_.replayLoaded, linkStatus_.load());
}

void MainWindow::message1034(int parameter) {
    switch (parameter) {
        case 500:
            openTechnicalTools();
            break;
        case 502:
            depth_->RefreshUnits(context_.settings.SetDepthUnit);
            clearPicture();
            controller_->schedulePaint(true);
            break;
        default:  // 501, the Enter key: nothing
            break;
    }
}

void MainWindow::openTechnicalTools() {
    ++technicalToolsOpened_;
    ui::CTechnicalToolsDlg dialog(context_.settings.switches, switchStore_, this);
    if (technicalToolsHook) {
        technicalToolsHook(dialog);
        return;
    }
    dialog.exec();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->isAutoRepeat()) heldKeys_.erase(key->key());
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !heldKeys_.count(key->key())) {
            QMetaObject::invokeMethod(
                this, [this] { message1034(501); }, Qt::QueuedConnection);
        }
        KeyChord::Key k = KeyChord::Other;
        switch (key->key()) {
            case Qt::Key_Control:
                k = KeyChord::Control;
                break;
            case Qt::Key_Shift:
                k = KeyChord::Shift;
                break;
            case Qt::Key_Alt:
            case Qt::Key_Meta:  // X11's standard keymap turns Alt into Meta while Shift is held
                k = KeyChord::Alt;
                break;
            case Qt::Key_T:
                k = KeyChord::Letter;
                break;
            default:
                break;
        }
        // A key that is still held (auto-repeat, or the same press seen again on its way to the parent
        // widgets) is no new key.
        const bool held = !heldKeys_.insert(key->key()).second;
        if (chord_.press(k, key->isAutoRepeat() || held))
            QMetaObject::invokeMethod(
                this, [this] { message1034(500); }, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

// Enter never closes the window.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// --- Probe panel and transport ------------------------------------------------------------------

void MainWindow::onPower() {
    const bool wasPowered = panel_.powered();
    if (wasPowered && onPowerOff) onPowerOff();  // before the power-off clears the picture and counters
    if (!wasPowered && flags_.replayLoaded) {
        // Back to acquisition: the replay ends first.
        onStop();
    }
    panel_.pressPower(clock_.now());
    flags_.sondePowered = panel_.powered();
    if (panel_.powered() && !wasPowered) {
        setOrientationLabels(context_.settings.PicOriented);
        power_->DisableTransport();
        modeMessage(kAcquisitionMode);
    }
    power_->showView(panel_.view());
}

void MainWindow::onRecord() {
    if (panel_.powered() && linkStatus_.load() > 0 && !flags_.recording) {
        NewLog();
        if (flags_.recording) {
            flags_.recordPaused = false;
            flags_.paused = false;
        }
    } else if (flags_.recording && flags_.paused) {
        onPause();
    }
}

void MainWindow::onPause() {
    if (flags_.recording) {
        transport_.Pause();
        if (flags_.recordPaused) power_->rewind->setEnabled(false);
        return;
    }
    if (flags_.playing) {
        power_->rewind->setEnabled(true);
        transport_.Pause();
        replayTimer_.stop();
        return;
    }
    if (flags_.paused) onPlay();
}

void MainWindow::onStop() {
    const Millis now = clock_.now();
    replayTimer_.stop();
    setOrientationLabels(context_.settings.PicOriented);
    power_->rewind->setEnabled(false);
    modeMessage(kAcquisitionMode);
    const bool wasRecording = flags_.recording;
    acq_->stopRecording(op_);
    if (wasRecording) showRecordingSummary();
    transport_.Stop(live_.read([](const LiveValues& v) { return v.depth; }), op_, now);
    shared_.channelIdOfIndex = nullptr;
    replayStream_.reset();
    controller_->replayRowsFrom(nullptr);
    endTimeShown_ = false;
    power_->setRecordActive(false);
    power_->showElapsed(false, 0, {});
    clearPicture();
    controller_->schedulePaint(true);
    power_->DisableTransport();
    if (panel_.powered() && linkStatus_.load() > 0) power_->record->setEnabled(true);
    RefreshDataView(kRefreshValues);
}

void MainWindow::onPlay() {
    if (!flags_.replayLoaded) return;
    const Millis now = clock_.now();
    if (transport_.replayPosition() == 0) {
        clearPicture();
        ports_->resetLiveOrientation();
    }
    power_->record->setEnabled(false);
    power_->rewind->setEnabled(false);
    const bool wasPlaying = flags_.playing;
    transport_.Play(now);
    if (!wasPlaying) setOrientationLabels(context_.header.screenMode);
    modeMessage("Data file : " + replayDataName_);
    scheduleReplay();
}

void MainWindow::onRewind() {
    replayTimer_.stop();
    transport_.Rewind(clock_.now());
    power_->rewind->setEnabled(false);
    clearPicture();
    controller_->schedulePaint(true);
}

void MainWindow::scheduleReplay() {
    if (!flags_.playing) return;
    replayTimer_.start(static_cast<int>(transport_.pacer().wait(clock_.now())));
}

void MainWindow::drawReplayLine(const ParsedLine& parsed, std::uint64_t position) {
    applyReplayLine(parsed, replayLayout_, replaySettings_, *replayStream_, live_, image_);
    const LiveValues v = live_.snapshot();
    const auto lineIndex = static_cast<std::int64_t>(position / std::max<size_t>(replayLayout_.lineSize, 1));
    nextQualityRow(v, v.fileDepth, context_.header.descending, false);
    controller_->drawReplayLine(context_.header.descending, v.resolutionCode, image_,
                                rowInputs(v, replaySettings_), v.fileDepth, lineIndex);
    travel_->postLine(image_, v.rotation, false);
}

bool MainWindow::replayTick(Millis now) {
    const bool wasPlaying = flags_.playing;
    bool drawn = transport_.tick(now, [this](const std::vector<std::uint8_t>&, const ParsedLine& parsed,
                                             std::uint64_t position) { drawReplayLine(parsed, position); });
    if (drawn) RefreshDataView(kRefreshValues);
    if (wasPlaying && !flags_.playing && !drawn) {
        // The end of the log: stopped and rewound; the transport stays ready to play again. With no
        // logger the time of the last line stays on show.
        endTimeShown_ = linkStatus_.load() <= 1;
        power_->rewind->setEnabled(true);
        RefreshDataView(kRefreshValues);
        modeMessage(kEndOfLog);
    }
    return drawn;
}

// The picture looks back with the wheel; End and the picture's button bring it to the live edge.
void MainWindow::setupScrollBack() {
    controller_->setHistoryBudget(kScrollBackBudget);
    connect(view_, &ui::PictureView::wheelRows, this, [this](int rows) {
        controller_->scrollUp(rows);
        view_->showRowsBack(controller_->rowsBack());
    });
    auto* liveEdge = new QAction("Live edge", this);
    liveEdge->setObjectName("liveEdgeKey");
    liveEdge->setShortcut(QKeySequence(Qt::Key_End));
    addAction(liveEdge);
    auto toLiveEdge = [this] {
        controller_->toLiveEdge();
        view_->showRowsBack(controller_->rowsBack());
    };
    connect(liveEdge, &QAction::triggered, this, toLiveEdge);
    connect(view_, &ui::PictureView::liveEdgeRequested, this, toLiveEdge);
}

void MainWindow::scrollPictureBack(int rows) {
    controller_->scrollBack(rows);
    view_->showRowsBack(controller_->rowsBack());
}

// --- Timers --------------------------------------------------------------------------------------

void MainWindow::modelTick(Millis now) {
    controller_->tick(now);
    view_->showRowsBack(controller_->rowsBack());
    acq_->tick(now);  // the probe panel, the alarms' ends and the watch on the full data frames
    flags_.sondePowered = panel_.powered();
}

void MainWindow::mainTick(Millis now) {
    (void)now;
    showRecordingFigures();
    const bool powered = panel_.powered();
    action("openPlay")->setEnabled(!powered && !htmlBusy_);
    action("openHtml")->setEnabled(!powered && !htmlBusy_);
    action("imperial")->setEnabled(!powered);
    action("newLog")->setEnabled(powered);
    action("las")->setEnabled(!powered);
    action("resampling")->setEnabled(!powered);
    action("simLogger")->setEnabled(!powered);

    const int link = linkStatus_.load();
    parts_[1]->setText(QString::fromStdString(source_.linkStatusText()));
    if (link <= 2) {
        parts_[2]->setText(kNoHardware);
        parts_[3]->clear();
    } else if (idleTicks_ < 5) {
        ++idleTicks_;
        parts_[2]->setText(QString::fromStdString(source_.packetText()));
        parts_[3]->setText(QString::fromStdString(source_.frameCountText()));
    } else {
        idleTicks_ = 0;
        parts_[2]->clear();
        parts_[3]->clear();
    }
    const QString idle = QString::fromUtf8("\u25CB"), active = QString::fromUtf8("\u25CF");
    parts_[4]->setText(source_.takeCommandSent() ? active : idle);
    parts_[5]->setText(source_.takeFrameReceived() ? active : idle);
    if (linkFlags_.poweredCopy) {
        sondeIconBlink_ = !sondeIconBlink_;
        parts_[6]->setText((echo_.slot(ReplyEcho::kFlags) & kRunningHead) != 0 || sondeIconBlink_ ? active
                                                                                                  : idle);
    } else {
        parts_[6]->setText(idle);
    }
    power_->showView(panel_.view());
    power_->comm->setEnabled(true);
    action("loggerSetup")->setEnabled(true);

    // The elapsed counter: yellow while recording, pale cyan while a replay plays or pauses.
    const std::string elapsed = live_.read([](const LiveValues& v) { return v.elapsedText; });
    if (flags_.recording) {
        power_->showElapsed(true, ui::kLiveColour, elapsed);
    } else if (flags_.replayLoaded) {
        if (flags_.playing) endTimeShown_ = false;
        power_->showElapsed(flags_.playing || flags_.paused || endTimeShown_, ui::kReplayColour, elapsed);
    } else {
        power_->showElapsed(false, 0, {});
    }
    // Lines lost to bad frames while recording.
    replacedPart_->setText(
        flags_.recording ? QString("Replaced %1").arg(acq_->recordingQuality().replacedLines) : QString());
    if (panel_.powered() && !flags_.recording && link > 0) power_->record->setEnabled(true);
    if (!panel_.powered() && !flags_.replayLoaded) power_->record->setEnabled(false);
}

ui::DepthInputs MainWindow::depthInputs() const {
    ui::DepthInputs in;
    in.values = live_.snapshot();
    in.linkStatus = linkStatus_.load();
    in.replayLoaded = flags_.replayLoaded;
    in.playing = flags_.playing;
    in.paused = flags_.paused;
    in.depthUnit = context_.settings.SetDepthUnit;
    const SondeEntry& sonde = context_.sondes->current();
    in.heightOffsetCm = sonde.heightOffset;
    in.sondeLengthCm = sonde.sondeLength;
    in.serialNumber = flags_.replayLoaded ? context_.header.serialNumber : sonde.serialNumber;
    in.sondeReady = panel_.powerUpStep() >= ProbePanel::kReady;
    in.verticalStepMm = flags_.replayLoaded ? image_.step : lastStepMm_.load();
    const QualityLimits limits = qualityLimitsOf(context_.settings);
    in.speedLimit = speedLimitOf(limits.stepMm, limits.revolutionMs);
    in.picOriented = flags_.replayLoaded ? context_.header.screenMode : context_.settings.PicOriented;
    return in;
}

void MainWindow::showMagnifier() {
    ui::CBigDepth* m = depth_->magnifier();
    const WindowPlacement slot = context_.placements.get(PlacementSlot::DepthMagnifier);
    m->RefreshUnits(context_.settings.SetDepthUnit);
    m->show();
    if (slot.valid()) {
        ui::applyPlacement(m, slot);
    } else {
        ui::placeUnder(m, this, 150);
        context_.placements.set(PlacementSlot::DepthMagnifier, ui::placementOf(m));
    }
    m->raise();
    m->RefreshValues(depthInputs());
}

void MainWindow::choosePalette() {
    ui::CPaletteDlg dialog(palettes_, colours_, context_.settings, context_.preferences.get(), this);
    dialog.onTableChanged = [this](const ColourTable& table) {
        picture_.setColourTable(table);
        depth_->paletteStrip()->update();
    };
    dialog.exec();
    depth_->paletteStrip()->update();
}

void MainWindow::RefreshDataView(int code) {
    try {
        if (code != kRefreshLink) {
            if (tools_->isVisible())
                tools_->refresh(live_.snapshot(), flags_.replayLoaded, linkStatus_.load());
            depth_->PutDataOnScreen(depthInputs());
        }
        panel_.UpdateCounters();
        panel_.UpdateStatusText(clock_.now());
        power_->showView(panel_.view());
    } catch (const std::exception&) {
        ReportException("CQueltLoggerDlg::RefreshDataView", __FILE__, __LINE__);
    }
}

}  // namespace quelt::app
