#include "ui/setup/SetupPages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "link/SpeedTables.h"
#include "platform/Text.h"
#include "ui/widgets/ColorPen.h"

namespace quelt::ui {

namespace {
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kPaleCyan = 0xFFA0FFFF;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

QSpinBox* spin(QWidget* parent, const char* name, int lo, int hi, int step = 1) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(name);
    s->setRange(lo, hi);
    s->setSingleStep(step);
    s->setKeyboardTracking(false);
    return s;
}

SetupSpinBox* setupSpin(QWidget* parent, const char* name, int lo, int hi, int step = 1) {
    auto* s = new SetupSpinBox(parent);
    s->setObjectName(name);
    s->setRange(lo, hi);
    s->setSingleStep(step);
    s->setKeyboardTracking(false);
    return s;
}

// A step within [lo, hi] of `size` per arrow click.
std::function<int(int, int)> clampedStep(std::function<int()> lo, std::function<int()> hi, int size = 1) {
    return [lo, hi, size](int v, int steps) { return std::clamp(v + steps * size, lo(), hi()); };
}

QLabel* readBackField(QWidget* parent, const char* name) {
    auto* l = new QLabel("-", parent);
    l->setObjectName(name);
    l->setMinimumWidth(70);
    l->setAutoFillBackground(true);
    paintReadBack(l, false);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const char* text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);  // Enter confirms the focused entry, it presses no button
    return b;
}

QLineEdit* edit(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

// Adds a row "label | control | extra" to a grid.
void row(QGridLayout* g, int r, const char* label, QWidget* control, QWidget* extra = nullptr,
         QWidget* more = nullptr) {
    auto* l = new QLabel(label);
    l->setBuddy(control);
    g->addWidget(l, r, 0);
    g->addWidget(control, r, 1);
    if (extra) g->addWidget(extra, r, 2);
    if (more) g->addWidget(more, r, 3);
}
}  // namespace

void SetupSpinBox::stepBy(int steps) {
    setValue(step ? step(value(), steps) : std::clamp(value() + steps * singleStep(), minimum(), maximum()));
    if (released) released(value());
}

void paintReadBack(QLabel* label, bool replay) {
    QPalette p = label->palette();
    p.setColor(QPalette::Window, QColor::fromRgb(replay ? kPaleCyan : kYellow));
    p.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(p);
}

QPixmap lampPicture(CommLamps::Kind kind, bool on) {
    // Our own lamps: a round glass with a rim; green for valid data, red for errors, amber for updates,
    // each dark grey-tinted when off.
    QColor lit = kind == CommLamps::Kind::Valid   ? QColor(40, 200, 60)
                 : kind == CommLamps::Kind::Error ? QColor(230, 40, 40)
                                                  : QColor(250, 170, 20);
    QColor c = on ? lit : lit.darker(320);
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    QRadialGradient g(6, 6, 9);
    g.setColorAt(0, on ? c.lighter(170) : c.lighter(130));
    g.setColorAt(1, c);
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return pm;
}

// --- Winch -------------------------------------------------------------------------------------------

CPWinchDlg::CPWinchDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent)
    : QWidget(parent), sheet_(sheet), clock_(clock) {
    direction = new QCheckBox("Normal", this);
    direction->setObjectName("direction");
    resolution = setupSpin(this, "resolution", 0, 99999);
    resolution->step = [this](int v, int n) { return sheet_.winch.stepResolution(v, n > 0 ? 1 : -1); };
    resolution->released = [this](int v) { sheet_.winch.releaseResolution(v, clock_.now()); };
    circumference = edit(this, "circumference");
    unit = new QLabel("mm", this);
    cableType = new QComboBox(this);
    cableType->setObjectName("cableType");
    cableType->addItems({"4 conductors", "mono cable"});
    set = button(this, "set", "&Set");
    auto* g = new QGridLayout(this);
    row(g, 0, "Encoder &Direction", direction);
    row(g, 1, "Encoder &Resolution", resolution, new QLabel("Pulse/T"));
    row(g, 2, "Wheel &Circumference", circumference, unit);
    row(g, 3, "Cable &Type", cableType);
    g->addWidget(set, 4, 1);
    g->setRowStretch(5, 1);

    connect(direction, &QCheckBox::clicked, this, [this](bool on) {
        sheet_.winch.setDirection(on, clock_.now());
        refresh();
    });
    connect(cableType, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        sheet_.winch.setCableType(i, clock_.now());
        refresh();
    });
    connect(resolution, &QSpinBox::editingFinished, this, [this] {
        if (resolution->value() != sheet_.settings().PulsResolution)
            sheet_.winch.applyResolution(resolution->value(), clock_.now());
        refresh();
    });
    connect(circumference, &QLineEdit::editingFinished, this, [this] {
        auto v = parseEntryNumber(circumference->text().toStdString());
        if (v && circumference->text() != q(sheet_.winch.circumferenceText()))
            sheet_.winch.applyCircumference(*v, resolution->value(), clock_.now());
        refresh();
    });
    connect(set, &QPushButton::clicked, this, [this] {
        auto v = parseEntryNumber(circumference->text().toStdString());
        sheet_.winch.set(resolution->value(), v.value_or(0.0), clock_.now());
        refresh();
    });
    refresh();
}

void CPWinchDlg::refresh() {
    const Settings& s = sheet_.settings();
    direction->setChecked(s.PulleyDir);
    resolution->setValue(s.PulsResolution);
    circumference->setText(q(sheet_.winch.circumferenceText()));
    unit->setText(sheet_.winch.unitText());
    cableType->setCurrentIndex(s.CableType);
    cableType->setEnabled(isEnabled() && sheet_.winch.cableTypeEnabled());
}

void CPWinchDlg::applyControls(const ControlState& c) {
    setEnabled(c.winch);
    cableType->setEnabled(c.winch && sheet_.winch.cableTypeEnabled());
}

// --- Probe -------------------------------------------------------------------------------------------

CPProbeDlg::CPProbeDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent)
    : QWidget(parent), sheet_(sheet), clock_(clock) {
    // The gamma trace colour is one of the colour picker's twenty.
    chooseColour = [this](std::uint32_t colour) {
        CColorPen pen(colour, this);
        pen.exec();
        return colour;
    };
    makeControls();
    layOut();
    connectControls();
    refresh();
}

void CPProbeDlg::makeControls() {
    voltage = spin(this, "voltage", 0, 255);
    declination = edit(this, "declination");
    sondes = new QComboBox(this);
    sondes->setObjectName("sondes");
    add = button(this, "add", "Add");
    remove = button(this, "remove", "Remove");
    rotation = edit(this, "rotation");
    rotationEdit = button(this, "rotationEdit", "Edit");
    rotationCancel = button(this, "rotationCancel", "Cancel");
    gammaGroup = new QGroupBox("Natural Gamma", this);
    gammaGroup->setObjectName("gammaGroup");
    gammaDisplay = new QComboBox(gammaGroup);
    gammaDisplay->setObjectName("gammaDisplay");
    for (int i = 0; i < static_cast<int>(ProbeSetup::kGammaScales.size()); ++i)
        gammaDisplay->addItem(q(ProbeSetup::gammaScaleText(i)));
    colour = button(gammaGroup, "colour", "Color");
    gammaCoef = edit(gammaGroup, "gammaCoef");
    gammaEdit = button(gammaGroup, "gammaEdit", "Edit");
    set = button(this, "set", "&Set");
    offsetView = new QLabel(this);
    offsetView->setObjectName("offsetView");
    offsetView->setFixedSize(360, 24);
    offsetView->hide();
}

// The rows of the page; the rotation and gamma entries stay closed until their Edit.
void CPProbeDlg::layOut() {
    auto* g = new QGridLayout(this);
    row(g, 0, "S&upply Voltage", voltage, new QLabel("V"));
    row(g, 1, "&Magnetic Declination", declination, new QLabel(QString::fromUtf8("\u00B0")));
    row(g, 2, "S&onde : S/N", sondes, add, remove);
    row(g, 3, "Offset Rotation", rotation, new QLabel(QString::fromUtf8("0...359 \u00B0")), rotationEdit);
    g->addWidget(rotationCancel, 3, 4);
    g->addWidget(offsetView, 4, 0, 1, 5);
    auto* gg = new QGridLayout(gammaGroup);
    row(gg, 0, "&Gamma Display", gammaDisplay, colour);
    row(gg, 1, "GammaCoef\n0.01...1.99", gammaCoef, gammaEdit);
    g->addWidget(gammaGroup, 5, 0, 1, 5);
    g->addWidget(set, 6, 1);
    g->setRowStretch(7, 1);
    rotation->setEnabled(false);
    gammaCoef->setEnabled(false);
    rotationCancel->hide();
}

// Each control hands its value to the probe page model, and the page shows the model again.
void CPProbeDlg::connectControls() {
    connect(voltage, &QSpinBox::editingFinished, this, [this] {
        if (voltage->value() != sheet_.settings().Power) sheet_.probe.applyVoltage(voltage->value());
        refresh();
    });
    connect(declination, &QLineEdit::editingFinished, this, [this] {
        declination->setText(q(sheet_.probe.applyDeclination(declination->text().toStdString())));
    });
    connect(set, &QPushButton::clicked, this, [this] {
        sheet_.probe.applyVoltage(voltage->value());
        declination->setText(q(sheet_.probe.applyDeclination(declination->text().toStdString())));
        refresh();
    });
    connect(sondes, QOverload<int>::of(&QComboBox::activated), this, [this](int slot) {
        sheet_.probe.chooseSonde(slot);
        refresh();
    });
    connect(add, &QPushButton::clicked, this, [this] {
        sheet_.probe.add();
        refresh();
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        sheet_.probe.remove();
        refresh();
    });
    connect(rotation, &QLineEdit::textEdited, this,
            [this](const QString& t) { sheet_.probe.setRotationEntry(t.toStdString()); });
    connect(rotation, &QLineEdit::returnPressed, this, [this] {
        sheet_.probe.checkRotationEntry();
        rotation->setText(q(sheet_.probe.rotationEntry()));
    });
    connect(rotationEdit, &QPushButton::clicked, this, [this] {
        if (sheet_.probe.rotationEditing())
            sheet_.probe.saveRotationEdit(clock_.now());
        else
            sheet_.probe.startRotationEdit(clock_.now());
        refresh();
    });
    connect(rotationCancel, &QPushButton::clicked, this, [this] {
        sheet_.probe.cancelRotationEdit(clock_.now());
        refresh();
    });
    connect(gammaCoef, &QLineEdit::textEdited, this,
            [this](const QString& t) { sheet_.probe.setGammaEntry(t.toStdString()); });
    connect(gammaEdit, &QPushButton::clicked, this, [this] {
        if (sheet_.probe.gammaEditing())
            sheet_.probe.saveGammaEdit();
        else
            sheet_.probe.startGammaEdit();
        refresh();
    });
    connect(gammaDisplay, QOverload<int>::of(&QComboBox::activated), this,
            [this](int i) { sheet_.probe.chooseGammaScale(i); });
    connect(colour, &QPushButton::clicked, this, [this] {
        if (chooseColour) sheet_.probe.chooseGammaColour(chooseColour(sheet_.settings().PicColorRef[6]));
    });
}

void CPProbeDlg::refresh() {
    const Settings& s = sheet_.settings();
    voltage->setValue(s.Power);
    declination->setText(q(format("%.2f", s.MagneticOffset)));
    sondes->clear();
    for (int i = 0; i < kSondeSlotCount; ++i)
        sondes->addItem(q(sheet_.probe.slotText(i)));
    sondes->setCurrentIndex(sheet_.sondes().currentSlot());
    const bool rot = sheet_.probe.rotationEditing(), gam = sheet_.probe.gammaEditing();
    rotation->setText(q(rot ? sheet_.probe.rotationEntry() : sheet_.probe.rotationText()));
    rotation->setEnabled(rot);
    rotationEdit->setText(rot ? "Save" : "Edit");
    rotationCancel->setVisible(rot);
    offsetView->setVisible(rot);
    gammaCoef->setText(q(gam ? sheet_.probe.gammaEntry() : sheet_.probe.gammaCoefText()));
    gammaCoef->setEnabled(gam);
    gammaEdit->setText(gam ? "Save" : "Edit");
    gammaDisplay->setCurrentIndex(sheet_.probe.gammaScaleIndex());
    const bool replay = sheet_.modes().playing.load();
    voltage->setEnabled(!replay && voltage->isEnabled());
    declination->setEnabled(!replay && declination->isEnabled());
}

void CPProbeDlg::applyControls(const ControlState& c, bool gammaShown, bool addEnabled) {
    const bool replay = sheet_.modes().playing.load();
    voltage->setEnabled(c.probeSupply && !replay);
    declination->setEnabled(c.probeSupply && !replay);
    set->setEnabled(c.probeSupply && !replay);
    sondes->setEnabled(c.sondeChoice);
    remove->setEnabled(c.sondeChoice);
    gammaEdit->setEnabled(c.sondeChoice || sheet_.probe.gammaEditing());
    add->setEnabled(addEnabled);
    rotationEdit->setEnabled(c.offsetEdit || sheet_.probe.rotationEditing());
    gammaGroup->setVisible(gammaShown);
}

void CPProbeDlg::drawOffsetView(const std::uint8_t* amplitudes, int samples, double rotation) {
    if (!sheet_.probe.rotationEditing() || samples <= 0) return;
    const double degreesPerSample = 360.0 / samples;
    double angle = rotation + degreesPerSample / 2.0;
    if (angle > 359.99) angle -= 360.0;
    const int shift = static_cast<int>(angle / degreesPerSample);
    const double blend = std::fmod(angle * 10.0, 10.0) / 10.0;  // the angle's first decimal
    QImage strip(samples, 6, QImage::Format_RGB32);
    for (int x = 0; x < samples; ++x) {
        const int a = amplitudes[(x + shift) % samples], b = amplitudes[(x + shift + 1) % samples];
        const int v = static_cast<int>(a + (b - a) * blend);
        for (int y = 1; y < 5; ++y)
            strip.setPixel(x, y, qRgb(v, v, v));
        strip.setPixel(x, 0, x == samples / 2 ? qRgb(0, 0, 0) : kYellow);
        strip.setPixel(x, 5, x == samples / 2 ? qRgb(0, 0, 0) : kYellow);
    }
    offsetView->setPixmap(QPixmap::fromImage(strip.scaled(offsetView->size())));
}

// --- Communication -----------------------------------------------------------------------------------

CPCommDlg::CPCommDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent)
    : QWidget(parent), sheet_(sheet), clock_(clock) {
    speed = new QComboBox(this);
    speed->setObjectName("speed");
    speedReadBack = readBackField(this, "speedReadBack");
    // The arrows stay within the page's ranges; what they reach is applied at once, without the message.
    downhole = setupSpin(this, "downhole", 0, 255);
    downhole->step = clampedStep([] { return kMinDownholeDrive; }, [] { return kMaxDownholeDrive; });
    downhole->released = [this](int v) { sheet_.comm.applyDownholeDrive(v, clock_.now(), true); };
    gain = setupSpin(this, "gain", 0, 255);
    gain->step = clampedStep([] { return kMinUpGain; }, [] { return kMaxUpGain; });
    gain->released = [this](int v) { sheet_.comm.applyGain(v, clock_.now(), true); };
    uphole = setupSpin(this, "uphole", 0, 255);
    uphole->step =
        clampedStep([] { return kMinUpholeDrive; }, [this] { return sheet_.comm.upholeMaximum(); });
    uphole->released = [this](int v) { sheet_.comm.applyUpholeDrive(v, true); };
    maxLabel = new QLabel(this);
    maxLabel->setObjectName("maxLabel");
    maxLabel->setStyleSheet("color: red;");
    upholeReadBack = readBackField(this, "upholeReadBack");
    set = button(this, "set", "&Set");
    check = button(this, "check", "&Check");

    auto* g = new QGridLayout;
    row(g, 0, "&Communication Speed", speed, new QLabel("Bauds"), speedReadBack);
    row(g, 1, "&Downhole Signal Drive", downhole);
    row(g, 2, "Uphole Receiver &Gain", gain, new QLabel("db"));
    row(g, 3, "&Uphole Signal Drive", uphole, maxLabel, upholeReadBack);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(set);
    buttons->addWidget(check);
    buttons->addStretch();
    auto* lampGrid = new QGridLayout;
    for (int i = 0; i < CommLamps::kCount; ++i) {
        lamps[static_cast<size_t>(i)] = new QLabel(this);
        lamps[static_cast<size_t>(i)]->setObjectName(QString("lamp%1").arg(i));
        lampGrid->addWidget(lamps[static_cast<size_t>(i)], i / 2, (i % 2) * 2);
        lampGrid->addWidget(new QLabel(CommLamps::caption(i), this), i / 2, (i % 2) * 2 + 1);
    }
    auto* v = new QVBoxLayout(this);
    v->addLayout(g);
    v->addLayout(buttons);
    v->addLayout(lampGrid);
    v->addStretch();

    auto apply = [this](QSpinBox* s, auto fn, auto current) {
        connect(s, &QSpinBox::editingFinished, this, [this, s, fn, current] {
            if (s->value() != current()) fn(s->value());
            refresh();
        });
    };
    apply(
        downhole, [this](int v) { sheet_.comm.applyDownholeDrive(v, clock_.now()); },
        [this] { return sheet_.settings().DownEnergie; });
    apply(
        gain, [this](int v) { sheet_.comm.applyGain(v, clock_.now()); },
        [this] { return sheet_.settings().UpGain; });
    apply(
        uphole, [this](int v) { sheet_.comm.applyUpholeDrive(v); },
        [this] { return sheet_.settings().UpholePulseWidth; });
    connect(speed, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        sheet_.comm.chooseSpeed(i);
        refresh();
    });
    connect(set, &QPushButton::clicked, this, [this] {
        sheet_.comm.set(gain->value(), uphole->value(), downhole->value(), clock_.now());
        refresh();
    });
    sheet_.comm.runAutoCheck = [this] { emit checkRequested(); };
    connect(check, &QPushButton::clicked, this, [this] {
        sheet_.comm.check(clock_.now());
        refresh();
    });
    refresh();
    showLamps();
}

void CPCommDlg::refresh() {
    speed->clear();
    for (const SpeedEntry& e : sheet_.comm.speeds())
        speed->addItem(e.text);
    speed->setCurrentIndex(sheet_.comm.selected());
    maxLabel->setText(q(sheet_.comm.maxText()));
    const Settings& s = sheet_.settings();
    downhole->setValue(s.DownEnergie);
    gain->setValue(s.UpGain);
    uphole->setValue(s.UpholePulseWidth);
}

void CPCommDlg::applyControls(const CommEnables& e) {
    downhole->setEnabled(e.downhole);
    speed->setEnabled(e.speed);
    set->setEnabled(e.set);
    check->setEnabled(e.check);
    gain->setEnabled(e.gain);
    uphole->setEnabled(e.uphole);
}

void CPCommDlg::readBack(bool replay) {
    speedReadBack->setText(q(sheet_.comm.speedReadBack()));
    upholeReadBack->setText(q(sheet_.comm.upholeReadBack()));
    paintReadBack(speedReadBack, replay);
    paintReadBack(upholeReadBack, replay);
}

void CPCommDlg::showLamps() {
    for (int i = 0; i < CommLamps::kCount; ++i)
        lamps[static_cast<size_t>(i)]->setPixmap(lampPicture(CommLamps::kind(i), sheet_.comm.lamps.lit(i)));
}

// --- Acquisition mode --------------------------------------------------------------------------------

CPPictureDlg::CPPictureDlg(SetupSheet& sheet, const Clock& clock, QWidget* parent)
    : QWidget(parent), sheet_(sheet), clock_(clock) {
    resolution = new QComboBox(this);
    resolution->setObjectName("resolution");
    resolution->addItems({"90", "120", "180", "360"});
    resolutionReadBack = readBackField(this, "resolutionReadBack");
    motor = setupSpin(this, "motor", 0, 255);
    motor->step =
        clampedStep([this] { return sheet_.picture.minimumPeriod(); }, [] { return kMaxMotorPeriod; });
    motor->released = [this](int v) {
        sheet_.picture.applyMotorPeriod(v, clock_.now());
        refresh();
    };
    motorReadBack = readBackField(this, "motorReadBack");
    rps = new QLabel("i/sec", this);
    rps->setObjectName("rps");
    orientation = new QComboBox(this);
    orientation->setObjectName("orientation");
    orientation->addItems({"None", "Magnetic North", "High Side"});
    filter = setupSpin(this, "filter", kMinFilter, kMaxFilter, kFilterStep);
    filter->released = [this](int v) { sheet_.picture.setFilter(v); };
    toolTemp = readBackField(this, "toolTemp");
    probeTemp = readBackField(this, "probeTemp");
    replayOrientation = readBackField(this, "replayOrientation");
    replayOrientation->hide();
    set = button(this, "set", "&Set");
    auto* g = new QGridLayout(this);
    row(g, 0, "&Resolution", resolution, resolutionReadBack);
    row(g, 1, "Motor &Step Period", motor, motorReadBack, rps);
    row(g, 2, "&Orientation", orientation, replayOrientation);
    row(g, 3, "Orientation &Filter", filter, new QLabel("ms"));
    row(g, 4, "Transducer T\u00B0", toolTemp, new QLabel(QString::fromUtf8("\u00B0C")));
    row(g, 5, "Electronic T\u00B0", probeTemp, new QLabel(QString::fromUtf8("\u00B0C")));
    g->addWidget(set, 6, 1);
    g->setRowStretch(7, 1);

    connect(resolution, QOverload<int>::of(&QComboBox::activated), this, [this](int i) {
        sheet_.picture.chooseResolution(PictureSetup::resolutionAt(i), clock_.now());
        refresh();
    });
    auto applyMotor = [this] {
        sheet_.picture.applyMotorPeriod(motor->value(), clock_.now());
        refresh();
    };
    connect(motor, &QSpinBox::editingFinished, this, [this, applyMotor] {
        if (motor->value() != sheet_.settings().MotorPeriod) applyMotor();
    });
    connect(set, &QPushButton::clicked, this, applyMotor);
    connect(orientation, QOverload<int>::of(&QComboBox::activated), this,
            [this](int i) { sheet_.picture.chooseOrientation(i); });
    connect(filter, &QSpinBox::editingFinished, this, [this] { sheet_.picture.setFilter(filter->value()); });
    refresh();
}

void CPPictureDlg::refresh() {
    const Settings& s = sheet_.settings();
    resolution->setCurrentIndex(PictureSetup::indexOf(std::clamp(s.PicResolution, 1, 4)));
    motor->setValue(s.MotorPeriod);
    orientation->setCurrentIndex(std::clamp(s.PicOriented, 0, 2));
    filter->setValue(s.SetFilter);
}

void CPPictureDlg::applyControls(bool on) {
    const bool controls = on && sheet_.picture.controlsEnabled();
    resolution->setEnabled(controls);
    motor->setEnabled(controls);
    orientation->setEnabled(controls);
    set->setEnabled(controls);
    filter->setEnabled(on);
}

void CPPictureDlg::readBack(bool replay, int replayOrientationCode) {
    PictureReadBack r = sheet_.picture.readBack();
    resolutionReadBack->setText(q(r.resolution));
    motorReadBack->setText(q(r.motor));
    rps->setText(q(r.rps));
    toolTemp->setText(q(r.toolTemp));
    probeTemp->setText(q(r.probeTemp));
    replayOrientation->setVisible(replay);
    replayOrientation->setText(PictureSetup::orientationText(replayOrientationCode));
}

// --- *.tol -------------------------------------------------------------------------------------------

CPFileTolDlg::CPFileTolDlg(SetupSheet& sheet, QWidget* parent) : QWidget(parent), sheet_(sheet) {
    serial = edit(this, "serial");
    dbase = new QComboBox(this);
    dbase->setObjectName("dbase");
    length = edit(this, "length");
    windowOffset = edit(this, "windowOffset");
    deviationOffset = edit(this, "deviationOffset");
    rotationOffset = edit(this, "rotationOffset");
    offsetD42 = edit(this, "offsetD42");
    gammaOffset = edit(this, "gammaOffset");
    gammaCoef = edit(this, "gammaCoef");
    highSpeed = new QCheckBox("High Speed", this);
    highSpeed->setObjectName("highSpeed");
    gammaOnBoard = new QCheckBox("GammaOnBoard", this);
    gammaOnBoard->setObjectName("gammaOnBoard");
    write = button(this, "write", "&Write");
    auto* g = new QGridLayout(this);
    g->addWidget(new QLabel("File Zorak.tol setting", this), 0, 0, 1, 3);
    row(g, 1, "SerialNumber", serial, dbase);
    row(g, 2, "SondeLength", length, new QLabel("Cm"));
    row(g, 3, "WindowOffset", windowOffset, new QLabel("Cm"));
    row(g, 4, "DeviationOffset", deviationOffset, new QLabel("Cm"));
    row(g, 5, "RotationOffset", rotationOffset, new QLabel(QString::fromUtf8("0...359 \u00B0")));
    row(g, 6, "OffsetD42", offsetD42, new QLabel(QString::fromUtf8("\u00B5S")));
    g->addWidget(highSpeed, 7, 1);
    auto* gamma = new QGroupBox("Natural Gamma", this);
    auto* gg = new QGridLayout(gamma);
    gg->addWidget(gammaOnBoard, 0, 1);
    row(gg, 1, "GammaOffset", gammaOffset, new QLabel("Cm"));
    row(gg, 2, "GammaCoef", gammaCoef, new QLabel("0.1...0.99"));
    g->addWidget(gamma, 8, 0, 1, 3);
    g->addWidget(write, 9, 1);
    g->setRowStretch(10, 1);

    connect(dbase, QOverload<int>::of(&QComboBox::activated), this, [this](int slot) {
        sheet_.probe.chooseTolSlot(slot);
        refresh();
    });
    connect(write, &QPushButton::clicked, this, [this] {
        TolFields f;
        f.serialNumber = serial->text().toStdString();
        f.sondeLength = length->text().toStdString();
        f.windowOffset = windowOffset->text().toStdString();
        f.deviationOffset = deviationOffset->text().toStdString();
        f.rotationOffset = rotationOffset->text().toStdString();
        f.offsetD42 = offsetD42->text().toStdString();
        f.gammaOffset = gammaOffset->text().toStdString();
        f.gammaCoef = gammaCoef->text().toStdString();
        f.highSpeed = highSpeed->isChecked();
        f.gammaOnBoard = gammaOnBoard->isChecked();
        sheet_.probe.writeTol(dbase->currentIndex(), f);
        refresh();
    });
    refresh();
}

void CPFileTolDlg::refresh() {
    dbase->clear();
    for (int i = 0; i < kSondeSlotCount; ++i)
        dbase->addItem(q(sheet_.probe.slotText(i)));
    const int slot = sheet_.sondes().currentSlot();
    dbase->setCurrentIndex(slot);
    TolFields f = sheet_.probe.tolFields(slot);
    serial->setText(q(f.serialNumber));
    length->setText(q(f.sondeLength));
    windowOffset->setText(q(f.windowOffset));
    deviationOffset->setText(q(f.deviationOffset));
    rotationOffset->setText(q(f.rotationOffset));
    offsetD42->setText(q(f.offsetD42));
    gammaOffset->setText(q(f.gammaOffset));
    gammaCoef->setText(q(f.gammaCoef));
    highSpeed->setChecked(f.highSpeed);
    gammaOnBoard->setChecked(f.gammaOnBoard);
}

}  // namespace quelt::ui
