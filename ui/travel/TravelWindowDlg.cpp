#include "ui/travel/TravelWindowDlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "link/LinkState.h"
#include "platform/Text.h"
#include "ui/widgets/GraphicCounterCtrl.h"
#include "ui/widgets/Placement.h"

namespace quelt::ui {
namespace {

constexpr int kViewSize = 201;         // pixels of the cross-section, odd so the axis falls on a pixel
constexpr int kWideScreen = 1050;      // wider screens get the window beside the main window
constexpr int kSpinRepeatDelay = 300;  // ms before a held spin button repeats

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

const char* readBackStyle(ReadBackColour c) {
    switch (c) {
        case ReadBackColour::Yellow:
            return "background: #ffff00; color: black;";
        case ReadBackColour::Orange:
            return "background: #ffa000; color: black;";
        case ReadBackColour::PaleCyan:
            return "background: #a0ffff; color: black;";
        case ReadBackColour::Grey:
            break;
    }
    return "background: #c0c0c0; color: black;";
}

QLabel* valueLabel(QWidget* parent, const char* name, const char* style) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setMinimumWidth(56);
    l->setStyleSheet(style);
    return l;
}

QLineEdit* entryField(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMaximumWidth(64);
    e->setAlignment(Qt::AlignRight);
    return e;
}

}  // namespace

CTravelCtrl::CTravelCtrl(QWidget* parent) : QWidget(parent), view_(kViewSize) {
    setFixedSize(kViewSize, kViewSize);
}

void CTravelCtrl::tick(Millis now, bool framesArriving, int sourceId) {
    if (view_.tick(now, framesArriving, sourceId)) update();  // one repaint per change, never per line
}

void CTravelCtrl::paintEvent(QPaintEvent*) {
    const Raster32& r = view_.section().raster();
    const QImage img(reinterpret_cast<const uchar*>(r.pixels.data()), r.width, r.height, r.width * 4,
                     QImage::Format_RGB32);
    QPainter(this).drawImage(0, 0, img);
}

CTravelWindowDlg::CTravelWindowDlg(ProgramContext& context, Operator& op, const Clock& clock, TravelHost host,
                                   QWidget* parent)
    : QDialog(parent),
      context_(context),
      op_(op),
      clock_(clock),
      host_(std::move(host)),
      model_(context.settings, *context.sondes, *this) {
    setWindowTitle("Travel-Level Tools");
    setObjectName("travelTools");
    build();
    const Millis now = clock_.now();
    model_.start(now);
    display(true);
    connect(&viewTimer_, &QTimer::timeout, this, [this] { tick(clock_.now()); });
}

QWidget* CTravelWindowDlg::spinned(QLineEdit* entry, std::function<void(int)> spin,
                                   std::function<void()> release) {
    auto* box = new QWidget(this);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(1);
    h->addWidget(entry);
    for (int direction : {+1, -1}) {
        auto* b = new QToolButton(box);
        b->setObjectName(entry->objectName() + (direction > 0 ? "Up" : "Down"));
        b->setArrowType(direction > 0 ? Qt::UpArrow : Qt::DownArrow);
        b->setAutoRepeat(true);
        b->setAutoRepeatDelay(kSpinRepeatDelay);
        b->setFixedSize(16, 12);
        connect(b, &QToolButton::pressed, this, [this, spin, direction] {
            takeEntries();
            spin(direction);
            display(false);
        });
        connect(b, &QToolButton::released, this, [this, b, release] {
            if (b->isDown()) return;  // an auto-repeat, not the release
            release();
            display(false);
        });
        h->addWidget(b);
    }
    return box;
}

void CTravelWindowDlg::build() {
    auto* grid = new QGridLayout(this);
    auto [travelGroup, levelGroup] = buildViews();
    grid->addWidget(travelGroup, 0, 0);
    grid->addWidget(levelGroup, 0, 1);
    auto* right = new QGridLayout;
    int row = 0;
    addTimeRows(right, row);
    addAcquisitionGroup(right, row);
    addVelocityRows(right, row);
    addDisplayGroup(right, row);
    addGainRows(right, row);
    grid->addLayout(right, 0, 2, 2, 1);
    connectEntries();
}

// The travel-time and amplitude views, each in its group.
std::pair<QGroupBox*, QGroupBox*> CTravelWindowDlg::buildViews() {
    auto* travelGroup = new QGroupBox("Travel Time", this);
    travel = new CTravelCtrl(travelGroup);
    travel->setObjectName("travelView");
    (new QVBoxLayout(travelGroup))->addWidget(travel);
    auto* levelGroup = new QGroupBox("Amplitude", this);
    level = new CLevelCtrl(levelGroup);
    level->setObjectName("levelView");
    level->setFixedSize(kViewSize, kViewSize);
    (new QVBoxLayout(levelGroup))->addWidget(level);

    return {travelGroup, levelGroup};
}

// The blanking and the window with their read-backs, from `row` down.
void CTravelWindowDlg::addTimeRows(QGridLayout* right, int& row) {
    const char* white = "background: black; color: white;";
    blankingValue = valueLabel(this, "blanking", white);
    windowValue = valueLabel(this, "window", white);
    blankingReadBack = valueLabel(this, "blankingReadBack", readBackStyle(ReadBackColour::Grey));
    windowReadBack = valueLabel(this, "windowReadBack", readBackStyle(ReadBackColour::Grey));
    right->addWidget(new QLabel("Blanking", this), row, 0);
    right->addWidget(blankingValue, row, 1);
    right->addWidget(new QLabel(QString::fromUtf8("\u00b5S"), this), row, 2);
    right->addWidget(blankingReadBack, ++row, 1);
    right->addWidget(new QLabel("Window", this), ++row, 0);
    right->addWidget(windowValue, row, 1);
    right->addWidget(new QLabel(QString::fromUtf8("\u00b5S"), this), row, 2);
    right->addWidget(windowReadBack, ++row, 1);
}

// The acquisition's D-MIN and D-MAX with the replay's values beside them.
void CTravelWindowDlg::addAcquisitionGroup(QGridLayout* right, int& row) {
    acquisitionGroup = new QGroupBox(this);
    acquisitionGroup->setObjectName("acquisitionGroup");
    auto* ag = new QGridLayout(acquisitionGroup);
    dmin = entryField(acquisitionGroup, "dmin");
    dmax = entryField(acquisitionGroup, "dmax");
    replayMin = valueLabel(acquisitionGroup, "replayMin", readBackStyle(ReadBackColour::PaleCyan));
    replayMax = valueLabel(acquisitionGroup, "replayMax", readBackStyle(ReadBackColour::PaleCyan));
    ag->addWidget(new QLabel("D-MIN:", acquisitionGroup), 0, 0);
    ag->addWidget(spinned(
                      dmin, [this](int d) { model_.spinAcquisitionMin(d); },
                      [this] { model_.releaseAcquisitionSpin(); }),
                  0, 1);
    ag->addWidget(replayMin, 0, 2);
    ag->addWidget(new QLabel("D-MAX:", acquisitionGroup), 1, 0);
    ag->addWidget(spinned(
                      dmax, [this](int d) { model_.spinAcquisitionMax(d); },
                      [this] { model_.releaseAcquisitionSpin(); }),
                  1, 1);
    ag->addWidget(replayMax, 1, 2);
    right->addWidget(acquisitionGroup, ++row, 0, 1, 3);
}

// The water velocity and the horizontal resolution it gives.
void CTravelWindowDlg::addVelocityRows(QGridLayout* right, int& row) {
    velocity = entryField(this, "velocity");
    velocityUnit = new QLabel(this);
    velocityUnit->setObjectName("velocityUnit");
    right->addWidget(new QLabel("Water Velocity", this), ++row, 0);
    right->addWidget(
        spinned(
            velocity, [this](int d) { model_.spinVelocity(d); }, [this] { model_.releaseVelocitySpin(); }),
        row, 1);
    right->addWidget(velocityUnit, row, 2);
    resolution = valueLabel(this, "resolution", "");
    resolution->setText("00.00");
    right->addWidget(new QLabel("H Res.:", this), ++row, 0);
    right->addWidget(resolution, row, 1);
}

// The display's D-MIN and D-MAX and the tracking switch.
void CTravelWindowDlg::addDisplayGroup(QGridLayout* right, int& row) {
    displayGroup = new QGroupBox(this);
    displayGroup->setObjectName("displayGroup");
    auto* dg = new QGridLayout(displayGroup);
    displayMin = entryField(displayGroup, "displayMin");
    displayMax = entryField(displayGroup, "displayMax");
    dg->addWidget(new QLabel("D-MIN:", displayGroup), 0, 0);
    dg->addWidget(
        spinned(
            displayMin, [this](int d) { model_.spinDisplayMin(d); }, [this] { model_.releaseDisplaySpin(); }),
        0, 1);
    dg->addWidget(new QLabel("D-MAX:", displayGroup), 1, 0);
    dg->addWidget(
        spinned(
            displayMax, [this](int d) { model_.spinDisplayMax(d); }, [this] { model_.releaseDisplaySpin(); }),
        1, 1);
    tracking = new QCheckBox("Tracking", displayGroup);
    tracking->setObjectName("tracking");
    dg->addWidget(tracking, 2, 0, 1, 2);
    right->addWidget(displayGroup, ++row, 0, 1, 3);
}

// The AGC, the gain with its read-back, the phantom, the display gain and the refresh mode.
void CTravelWindowDlg::addGainRows(QGridLayout* right, int& row) {
    agc = new QCheckBox("&AGC", this);
    agc->setObjectName("agc");
    right->addWidget(agc, ++row, 0);
    gain = entryField(this, "gain");
    gainReadBack = valueLabel(this, "gainReadBack", readBackStyle(ReadBackColour::Grey));
    right->addWidget(new QLabel("Gain (0..80)", this), ++row, 0);
    right->addWidget(
        spinned(
            gain, [this](int d) { model_.spinGain(d); }, [this] { model_.releaseAcquisitionSpin(); }),
        row, 1);
    right->addWidget(new QLabel("db", this), row, 2);
    right->addWidget(gainReadBack, ++row, 1);
    showPhantom = new QCheckBox("Show phantom. ", this);
    showPhantom->setObjectName("showPhantom");
    right->addWidget(showPhantom, ++row, 0, 1, 3);
    displayGain = entryField(this, "displayGain");
    right->addWidget(new QLabel("Display Gain", this), ++row, 0);
    right->addWidget(spinned(
                         displayGain, [this](int d) { model_.spinDisplayGain(d); },
                         [this] { model_.releaseDisplayGainSpin(); }),
                     row, 1);
    right->addWidget(new QLabel("db", this), row, 2);
    refreshMode = new QComboBox(this);
    refreshMode->setObjectName("refreshMode");
    for (const char* item : {"None", "5", "10", "20", "50", "Maximum"})
        refreshMode->addItem(item);
    right->addWidget(new QLabel("Refresh mode", this), ++row, 0);
    right->addWidget(refreshMode, row, 1, 1, 2);
}

// Each entry is taken into the model when it is left; each switch at its click.
void CTravelWindowDlg::connectEntries() {
    auto validate = [this](TravelField f) {
        return [this, f] {
            takeEntries();
            model_.validateAcquisition(f);
            display(false);
        };
    };
    connect(dmin, &QLineEdit::editingFinished, this, validate(TravelField::DMin));
    connect(dmax, &QLineEdit::editingFinished, this, validate(TravelField::DMax));
    connect(velocity, &QLineEdit::editingFinished, this, validate(TravelField::Velocity));
    connect(gain, &QLineEdit::editingFinished, this, validate(TravelField::Gain));
    for (QLineEdit* e : {displayMin, displayMax})
        connect(e, &QLineEdit::editingFinished, this, [this] {
            takeEntries();
            model_.confirmDisplay();
            display(false);
        });
    connect(displayGain, &QLineEdit::editingFinished, this, [this] {
        takeEntries();
        model_.entries().displayGain = std::clamp(model_.entries().displayGain, 0, kMaxDisplayGain);
        model_.releaseDisplayGainSpin();
        display(false);
    });
    connect(tracking, &QCheckBox::clicked, this, [this](bool on) {
        takeEntries();
        model_.setTracking(on);
        display(false);
    });
    connect(agc, &QCheckBox::clicked, this, [this](bool on) {
        takeEntries();
        model_.setAgc(on);
        display(false);
    });
    connect(showPhantom, &QCheckBox::clicked, this, [this](bool on) {
        takeEntries();
        model_.setShowPhantom(on);
        display(false);
    });
    connect(refreshMode, &QComboBox::activated, this, [this](int index) {
        model_.setRefreshMode(index);
        restartViews();
    });
}

void CTravelWindowDlg::takeEntries() {
    TravelTools::Entries& e = model_.entries();
    const bool imp = model_.imperial();
    // A field left as it was shown keeps the model's exact value.
    auto diameter = [imp](QLineEdit* f, const std::string& shown, double& value) {
        const std::string typed = f->text().toStdString();
        if (typed != shown) value = entryToDiameter(parseLeadingDouble(typed), imp);
    };
    diameter(dmin, model_.dminText(), e.dmin);
    diameter(dmax, model_.dmaxText(), e.dmax);
    diameter(displayMin, model_.displayMinText(), e.displayMin);
    diameter(displayMax, model_.displayMaxText(), e.displayMax);
    e.velocity = parseLeadingInt(velocity->text().toStdString());
    e.gain = parseLeadingInt(gain->text().toStdString());
    e.displayGain = parseLeadingInt(displayGain->text().toStdString());
    e.agc = agc->isChecked();
    e.showPhantom = showPhantom->isChecked();
    e.tracking = tracking->isChecked();
}

void CTravelWindowDlg::display(bool all) {
    const TravelTools::Entries& e = model_.entries();
    const TravelView& v = model_.view();
    dmin->setText(text(model_.dminText()));
    dmax->setText(text(model_.dmaxText()));
    displayMin->setText(text(model_.displayMinText()));
    displayMax->setText(text(model_.displayMaxText()));
    velocity->setText(QString::number(e.velocity));
    gain->setText(QString::number(e.gain));
    displayGain->setText(QString::number(e.displayGain));
    blankingValue->setText(text(v.blankingText));
    windowValue->setText(text(v.windowText));
    if (all) {
        acquisitionGroup->setTitle(text(v.acquisitionCaption));
        displayGroup->setTitle(text(v.displayCaption));
        velocityUnit->setText(text(v.velocityUnit));
        agc->setChecked(e.agc);
        showPhantom->setChecked(e.showPhantom);
        tracking->setChecked(e.tracking);
        refreshMode->setCurrentIndex(e.refreshIndex);
    }
}

void CTravelWindowDlg::update200(Millis now) {
    const TravelLinkState link = host_.linkState ? host_.linkState() : TravelLinkState{};
    if (link.replay != lastReplay_) {
        lastReplay_ = link.replay;
        ++source_;
        model_.setOffsetSource({link.replay, context_.header.serialNumber, false});
        model_.refresh(true);
        display(true);
    }
    model_.tick(now, link);
    const TravelView& v = model_.view();
    blankingReadBack->setText(text(v.blankingReadBack));
    windowReadBack->setText(text(v.windowReadBack));
    gainReadBack->setText(text(v.gainReadBack));
    for (QLabel* l : {blankingReadBack, windowReadBack, gainReadBack})
        l->setStyleSheet(readBackStyle(v.readBackColour));
    resolution->setText(text(v.resolutionText));
    for (QWidget* w : std::initializer_list<QWidget*>{dmin->parentWidget(), dmax->parentWidget(),
                                                      velocity->parentWidget(), gain->parentWidget()})
        w->setEnabled(v.acquisitionEnabled);
    agc->setEnabled(v.agcEnabled);
    dmin->parentWidget()->setVisible(!v.replayFields);
    dmax->parentWidget()->setVisible(!v.replayFields);
    replayMin->setVisible(v.replayFields);
    replayMax->setVisible(v.replayFields);
    replayMin->setText(text(v.replayMinText));
    replayMax->setText(text(v.replayMaxText));
    // While the auto-check changes the window, the entries follow it.
    if (link.autoCheck) display(false);
}

void CTravelWindowDlg::updateViews(Millis now) {
    const TravelLinkState link = host_.linkState ? host_.linkState() : TravelLinkState{};
    const bool frames = link.framesArriving || link.replay;
    travel->tick(now, frames, source_);
    std::vector<std::uint8_t> amplitudes;
    double orientation = 0;
    {
        std::lock_guard<std::mutex> lock(levelMutex_);
        if (!levelFresh_) return;
        levelFresh_ = false;
        amplitudes.swap(amplitudes_);
        orientation = levelOrientation_;
    }
    LevelInputs in;
    in.replay = link.replay;
    in.linkStatus = frames ? kLinkFullData : 0;
    in.blanking = link.replay ? link.blanking : static_cast<int>(context_.settings.UpBlanking);
    in.window = link.replay ? link.window : static_cast<int>(context_.settings.UpWindow);
    in.stepDegrees = amplitudes.empty() ? 2.0 : 360.0 / static_cast<double>(amplitudes.size());
    in.amplitudes = std::move(amplitudes);
    in.orientation = orientation;
    in.resolutionStep = context_.settings.PicResolution;
    in.refreshEvery = context_.settings.RefreshTravelDialog;
    level->refresh(in);
}

void CTravelWindowDlg::tick(Millis now) {
    update200(now);  // the model keeps its own 200 ms period
    updateViews(now);
}

void CTravelWindowDlg::postLine(const ImageLine& line, double orientation, bool acquisition) {
    if (!open_) return;
    const int n = std::clamp(line.samplesPerTurn, 0, 360);
    Revolution r;
    r.travel.assign(line.rawLine.begin(), line.rawLine.begin() + n);
    r.orientation = orientation;
    r.acquisition = acquisition;
    travel->view().post(std::move(r));
    std::lock_guard<std::mutex> lock(levelMutex_);
    amplitudes_.assign(line.sampleLine.begin() + ImageLine::kAmplitudeOffset,
                       line.sampleLine.begin() + ImageLine::kAmplitudeOffset + n);
    levelOrientation_ = orientation;
    levelFresh_ = true;
}

void CTravelWindowDlg::open(const QWidget* beside) {
    const WindowPlacement p = context_.placements.get(PlacementSlot::TravelTime);
    if (p.valid()) {
        applyPlacement(this, p, true);
    } else if (beside && QGuiApplication::primaryScreen() &&
               QGuiApplication::primaryScreen()->geometry().width() > kWideScreen) {
        move(beside->frameGeometry().right() + 1, beside->frameGeometry().top());
    }
    const Millis now = clock_.now();
    model_.start(now);
    display(true);
    update200(now);
    QDialog::show();
    raise();
    open_ = true;
    viewTimer_.start(static_cast<int>(CrossSectionView::kPeriod));
}

void CTravelWindowDlg::unitChanged() {
    model_.unitChanged();
    display(true);
}

void CTravelWindowDlg::refreshNotification() {
    model_.refresh(isVisible());
    display(isVisible());
}

void CTravelWindowDlg::offsetEditNotification(int code) {
    model_.offsetEditNotification(code);
    display(false);
}

void CTravelWindowDlg::closeEvent(QCloseEvent* event) {
    if (host_.offsetEditOpen && host_.offsetEditOpen()) {
        op_.message(kCloseDuringOffsetEdit, MessageKind::Error);
        event->ignore();
        return;
    }
    context_.placements.set(PlacementSlot::TravelTime, placementOf(this));
    viewTimer_.stop();
    open_ = false;
    event->accept();  // hidden, kept for the next opening (the dialog's own close would run reject())
}

void CTravelWindowDlg::sendF5() {
    if (host_.sendF5) host_.sendF5();
}

void CTravelWindowDlg::saveSettings() {
    context_.preferences->SaveSettings();
}

void CTravelWindowDlg::saveAcquisitionSettings() {
    context_.preferences->SaveAcquisitionSettings(kSaveAcquisitionReason, lastReplay_);
}

void CTravelWindowDlg::refreshToolsBox() {
    if (host_.refreshToolsBox) host_.refreshToolsBox();
}

void CTravelWindowDlg::savePlaybackToHeader() {
    if (context_.headerIo) context_.headerIo->SavePlaybackToHeader();
}

void CTravelWindowDlg::showMessage(const std::string& message) {
    op_.message(message, MessageKind::Warning);
}

void CTravelWindowDlg::restartViews() {
    travel->view().settingsChanged(sectionSettings(), clock_.now());
    level->clear();
}

CrossSectionSettings CTravelWindowDlg::sectionSettings() const {
    CrossSectionSettings s;
    s.offsetMicros = model_.offsetMicros();
    s.displayBlanking = context_.settings.DisplayBlanking;
    s.displayWindow = context_.settings.DisplayWindow;
    s.showPhantom = context_.settings.ShowPhantom;
    s.refreshMode = context_.settings.RefreshTravelDialog;
    return s;
}

}  // namespace quelt::ui
