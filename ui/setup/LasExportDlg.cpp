#include "ui/setup/LasExportDlg.h"

#include "export/ExportAdapters.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <filesystem>

#include "config/ProgramContext.h"
#include "platform/Text.h"
#include "platform/Units.h"

namespace fs = std::filesystem;

namespace quelt::ui {

namespace {
constexpr const char* kCurveTexts[10] = {
    "Log Speed", "Natural Gamma", "Inclination", "Azimuth",    "HG Delta",
    "Roll",      "Magn. Roll",    "Total Grav.", "Total Mag.", "Add deviation RAW data."};

bool LasCurves::*const kCurveFlags[10] = {
    &LasCurves::speed, &LasCurves::gamma, &LasCurves::incl,  &LasCurves::azimuth, &LasCurves::hgDelta,
    &LasCurves::roll,  &LasCurves::mroll, &LasCurves::tgrav, &LasCurves::tmag,    &LasCurves::raw};

// Moves the focus on when Enter is pressed in a range field; leaving the field checks it.
void focusOnEnter(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [edit] {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(edit, &tab);
    });
}
}  // namespace

CLasExportDlg::CLasExportDlg(ProgramContext& context, Operator& op, OrientationRoutine orientation,
                             QWidget* parent)
    : QDialog(parent),
      context_(context),
      op_(op),
      workerOp_(op, this),
      las_(context.settings, context.paths, context.placements, workerOp_, *context.sondes,
           orientation ? std::move(orientation) : decoderOrientationRoutine(context.settings)) {
    setWindowTitle("LAS 2.0 exportation for VEXA");
    input_ = new QLineEdit("*.hed", this);
    output_ = new QLineEdit("*.las", this);
    for (QLineEdit* e : {input_, output_})
        e->setReadOnly(true);
    inputBrowse_ = new QPushButton("...", this);
    outputBrowse_ = new QPushButton("...", this);
    inputBrowse_->setObjectName("inputBrowse");
    outputBrowse_->setObjectName("outputBrowse");
    for (QPushButton* b : {inputBrowse_, outputBrowse_})
        b->setFixedWidth(32);
    connect(inputBrowse_, &QPushButton::clicked, this, &CLasExportDlg::BrowseInput);
    connect(outputBrowse_, &QPushButton::clicked, this, &CLasExportDlg::BrowseOutput);

    from_ = new QLineEdit(this);
    to_ = new QLineEdit(this);
    from_->setObjectName("from");
    to_->setObjectName("to");
    for (QLineEdit* e : {from_, to_}) {
        e->setAlignment(Qt::AlignRight);
        focusOnEnter(e);
    }
    connect(from_, &QLineEdit::editingFinished, this, &CLasExportDlg::checkFrom);
    connect(to_, &QLineEdit::editingFinished, this, &CLasExportDlg::checkTo);
    interval_ = new QLabel("Interval : ", this);
    reverse_ = new QCheckBox("&Reverse depth", this);
    step_ = new QComboBox(this);
    for (const auto& item : lasStepItems(context_.settings.SetDepthUnit == 1 ? 1 : 0))
        step_->addItem(QString::fromStdString(item.text));
    step_->setCurrentIndex(0);

    auto* channels = new QGroupBox("Displayed channels", this);
    auto* cg = new QGridLayout(channels);
    auto* depth = new QCheckBox("Depth", channels);  // always exported
    depth->setChecked(true);
    depth->setEnabled(false);
    cg->addWidget(depth, 0, 0);
    for (int i = 0; i < 10; ++i) {
        auto* box = new QCheckBox(kCurveTexts[i], i == 9 ? static_cast<QWidget*>(this) : channels);
        curves_[static_cast<size_t>(i)] = box;
        if (i < 9) cg->addWidget(box, (i + 1) / 2, (i + 1) % 2);
    }

    start_ = new QPushButton("&Start", this);
    close_ = new QPushButton("&Close", this);
    connect(start_, &QPushButton::clicked, this, [this] { StartExport(); });
    connect(close_, &QPushButton::clicked, this, &CLasExportDlg::CloseDialog);
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setValue(0);
    status_ = new QLabel(this);
    status_->setObjectName("status");

    las_.progress = [this](std::int64_t pos, std::int64_t range) { runner_.postProgress(pos, range); };
    las_.status = [this](const std::string& s) { runner_.postStatus(s); };
    connect(&runner_, &ExportRunner::progress, this, [this](qint64 pos, qint64 range) {
        progress_->setRange(0, static_cast<int>(std::min<qint64>(range, INT32_MAX)));
        progress_->setValue(static_cast<int>(std::min<qint64>(pos, INT32_MAX)));
    });
    connect(&runner_, &ExportRunner::status, status_, &QLabel::setText);
    connect(&runner_, &ExportRunner::finished, this, &CLasExportDlg::exportEnded);

    auto* files = new QGridLayout;
    files->addWidget(new QLabel("Input file", this), 0, 0);
    files->addWidget(input_, 0, 1);
    files->addWidget(inputBrowse_, 0, 2);
    files->addWidget(new QLabel("Output file", this), 1, 0);
    files->addWidget(output_, 1, 1);
    files->addWidget(outputBrowse_, 1, 2);

    auto* range = new QGroupBox("Export depth range", this);
    auto* rg = new QGridLayout(range);
    auto* fromLabel = new QLabel("&From", range);
    auto* toLabel = new QLabel("&To", range);
    fromLabel->setBuddy(from_);
    toLabel->setBuddy(to_);
    rg->addWidget(fromLabel, 0, 0);
    rg->addWidget(from_, 0, 1);
    rg->addWidget(toLabel, 1, 0);
    rg->addWidget(to_, 1, 1);
    rg->addWidget(interval_, 2, 0, 1, 2);
    rg->addWidget(reverse_, 3, 0, 1, 2);
    rg->addWidget(new QLabel("Select sample interval :", range), 4, 0);
    rg->addWidget(step_, 4, 1);

    auto* middle = new QHBoxLayout;
    middle->addWidget(range);
    middle->addWidget(channels, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(curves_[9]);
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(files);
    layout->addLayout(middle);
    layout->addLayout(buttons);
    layout->addStretch();
    layout->addWidget(progress_);
    layout->addWidget(status_);

    // Enter in a range field moves the focus on; it never presses a button.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    setControlsEnabled(false);
}

void CLasExportDlg::setControlsEnabled(bool on) {
    for (QWidget* w : {static_cast<QWidget*>(from_), static_cast<QWidget*>(to_),
                       static_cast<QWidget*>(reverse_), static_cast<QWidget*>(step_)})
        w->setEnabled(on);
    const LasCurves flags = curvesFromSettings(context_.settings);
    for (int i = 0; i < 10; ++i) {
        QCheckBox* box = curves_[static_cast<size_t>(i)];
        bool enabled = on && (i != 1 || las_.context().gammaOnBoard);
        box->setEnabled(enabled);
        box->setChecked(enabled && flags.*kCurveFlags[i]);
    }
    start_->setEnabled(on && !las_.context().outputPath.empty());
}

double CLasExportDlg::shown(double logValue) const {
    const LasContext& c = las_.context();
    if (c.displayUnit == c.logUnit) return logValue;
    return c.displayUnit == 1 ? logValue * units::kFeetPerMetre : logValue * units::kMetresPerFoot;
}

void CLasExportDlg::showRange() {
    const LasContext& c = las_.context();
    from_->setText(QString::fromStdString(format("%.2f", shown(c.from))));
    to_->setText(QString::fromStdString(format("%.2f", shown(c.to))));
}

void CLasExportDlg::BrowseInput() {
    std::string start = context_.paths.lastDataFile;
    if (start.empty()) start = context_.paths.programDir + "Data/";
    auto chosen = op_.chooseFile("Open", start, "VEXA File (*.HED)", false);
    if (!chosen) return;
    loaded_ = las_.LoadInput(*chosen);
    if (!loaded_) {
        input_->setText("*.hed");
        setControlsEnabled(false);
        return;
    }
    const LasContext& c = las_.context();
    input_->setText(QString::fromStdString(c.headerPath));
    output_->setText(QString::fromStdString(c.outputPath));
    interval_->setText(QString::fromStdString("Interval : " + c.intervalText + " " + c.intervalUnit));
    showRange();
    setControlsEnabled(true);
}

void CLasExportDlg::BrowseOutput() {
    auto chosen = op_.chooseFile("Save As", context_.paths.logDir, "Log ASCII Standard(*.las)", true);
    if (!chosen) {
        las_.context().outputPath.clear();
        output_->setText("*** N/A ***");
        start_->setEnabled(false);
        return;
    }
    std::string path = *chosen;
    if (fs::path(path).extension().empty()) path += ".las";
    las_.context().outputPath = path;
    output_->setText(QString::fromStdString(path));
    start_->setEnabled(loaded_);
}

void CLasExportDlg::checkFrom() {
    if (!loaded_) return;
    las_.SetFrom(parseLeadingDouble(from_->text().toStdString()));
    showRange();
}

void CLasExportDlg::checkTo() {
    if (!loaded_) return;
    las_.SetTo(parseLeadingDouble(to_->text().toStdString()));
    showRange();
}

LasCurves CLasExportDlg::checkedCurves() const {
    LasCurves c;
    for (int i = 0; i < 10; ++i)
        c.*kCurveFlags[i] = curves_[static_cast<size_t>(i)]->isChecked();
    return c;
}

CLasExportDlg::~CLasExportDlg() {
    las_.abort = true;
}

bool CLasExportDlg::StartExport() {
    if (runner_.busy()) return false;
    LasChoices choices;
    choices.stepIndex = step_->currentIndex();
    choices.reverse = reverse_->isChecked();
    choices.curves = checkedCurves();
    // The checks and the question here, where the operator answers; the export on the worker.
    if (!las_.StartChecks(choices, false)) return false;
    // Nothing the export reads changes while it runs.
    enabledBefore_.clear();
    for (QWidget* w :
         std::initializer_list<QWidget*>{inputBrowse_, outputBrowse_, from_, to_, reverse_, step_, start_})
        enabledBefore_.emplace_back(w, w->isEnabled());
    for (QCheckBox* box : curves_)
        enabledBefore_.emplace_back(box, box->isEnabled());
    for (auto& [w, enabled] : enabledBefore_)
        w->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    runner_.start([this, choices] { return las_.Write(choices); });
    return true;
}

void CLasExportDlg::exportEnded(bool ok) {
    QApplication::restoreOverrideCursor();
    for (auto& [w, enabled] : enabledBefore_)
        w->setEnabled(enabled);
    enabledBefore_.clear();
    start_->setEnabled(loaded_ && !las_.context().outputPath.empty());
    emit exportFinished(ok);
}

void CLasExportDlg::reject() {
    if (runner_.busy()) {
        las_.abort = true;
        return;
    }
    QDialog::reject();
}

void CLasExportDlg::CloseDialog() {
    if (runner_.busy()) {
        las_.abort = true;
        return;
    }
    // The boxes stand for the flags only once a log is loaded; a box disabled for a sonde without gamma
    // keeps its flag.
    if (loaded_) {
        LasCurves c = checkedCurves();
        if (!curves_[1]->isEnabled()) c.gamma = context_.settings.ExportGamm;
        las_.Close(c);
    }
    accept();
}

}  // namespace quelt::ui
