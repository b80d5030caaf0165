#include "ui/setup/FileResamplingDlg.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "config/ProgramContext.h"
#include "export/ExportAdapters.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/Units.h"
#include "stream/ToolsStream.h"

namespace quelt::ui {

namespace {
void focusOnEnter(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::returnPressed, edit, [edit] {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(edit, &tab);
    });
}
}  // namespace

namespace {
// The first `rows` rows of an export raster (764 wide) as an image.
QImage rasterImage(const ExportRaster& raster, int rows) {
    rows = std::clamp(rows, 0, kExportRows);
    return QImage(raster.bytes.data(), 764, rows, kExportBytesPerRow, QImage::Format_BGR888).copy();
}
}  // namespace

PreviewArea::PreviewArea(QWidget* parent) : QWidget(parent) {
    setObjectName("preview");
    setFixedSize(764, CFileResamplingDlg::kPreviewRows);
}

void PreviewArea::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

CFileResamplingDlg::CFileResamplingDlg(ProgramContext& context, Operator& op, RotationRoutine rotation,
                                       std::function<void(const std::string&)> mainStatus, QWidget* parent)
    : QDialog(parent),
      context_(context),
      op_(op),
      workerOp_(op, this),
      rs_(context.settings, context.paths, context.placements, workerOp_, *context.sondes,
          rotation ? std::move(rotation) : decoderRotationRoutine(context.settings)),
      mainStatus_(std::move(mainStatus)) {
    setWindowTitle("Resampling");
    LoadPalettes(resolveNoCase(context_.home / kPaletteFileName).string(), context_.settings, palettes_,
                 colours_);
    preview_ = new PreviewArea(this);

    const bool feet = context_.settings.SetDepthUnit == 1;
    const QString depthUnit = feet ? "Feet" : "m";
    const QString sampleUnit = feet ? "mil" : "mm";

    auto* inputGroup = new QGroupBox("Input file", this);
    input_ = new QLineEdit("*.hed", inputGroup);
    input_->setReadOnly(true);
    inputBrowse_ = new QPushButton("...", inputGroup);
    inputBrowse_->setObjectName("inputBrowse");
    inputBrowse_->setFixedWidth(32);
    auto* ig = new QHBoxLayout(inputGroup);
    ig->addWidget(input_, 1);
    ig->addWidget(inputBrowse_);

    auto* rangeGroup = new QGroupBox("Export depth range", this);
    from_ = new QLineEdit(rangeGroup);
    to_ = new QLineEdit(rangeGroup);
    from_->setObjectName("from");
    to_->setObjectName("to");
    fromUnit_ = new QLabel(depthUnit, rangeGroup);
    toUnit_ = new QLabel(depthUnit, rangeGroup);
    auto* rg = new QGridLayout(rangeGroup);
    auto* fromLabel = new QLabel("&From", rangeGroup);
    auto* toLabel = new QLabel("&To", rangeGroup);
    fromLabel->setBuddy(from_);
    toLabel->setBuddy(to_);
    rg->addWidget(fromLabel, 0, 0);
    rg->addWidget(from_, 0, 1);
    rg->addWidget(fromUnit_, 0, 2);
    rg->addWidget(toLabel, 1, 0);
    rg->addWidget(to_, 1, 1);
    rg->addWidget(toUnit_, 1, 2);

    auto* samplingGroup = new QGroupBox(this);
    auto* sg = new QGridLayout(samplingGroup);
    average_ = new QLabel(samplingGroup);
    average_->setObjectName("average");
    averageUnit_ = new QLabel(sampleUnit, samplingGroup);
    interval_ = new QLineEdit(samplingGroup);
    interval_->setObjectName("interval");
    intervalUnit_ = new QLabel(sampleUnit, samplingGroup);
    range_ = new QLabel(samplingGroup);
    range_->setObjectName("allowed");
    sg->addWidget(new QLabel("Average source file depth sampling :", samplingGroup), 0, 0);
    sg->addWidget(average_, 0, 1);
    sg->addWidget(averageUnit_, 0, 2);
    sg->addWidget(new QLabel("Depth sampling interval", samplingGroup), 1, 0);
    sg->addWidget(interval_, 1, 1);
    sg->addWidget(intervalUnit_, 1, 2);
    sg->addWidget(range_, 2, 1, 1, 2);
    for (QLineEdit* e : {from_, to_, interval_}) {
        e->setAlignment(Qt::AlignRight);
        focusOnEnter(e);
    }

    auto* deviationGroup = new QGroupBox("Deviation", this);
    deviation_ = new QComboBox(deviationGroup);
    deviation_->addItem("no deviation", 0);
    deviation_->addItem("Magnetic North", 1);
    deviation_->addItem("High side", 2);
    deviation_->setCurrentIndex(0);
    auto* dg = new QHBoxLayout(deviationGroup);
    auto* use = new QLabel("Use", deviationGroup);
    use->setBuddy(deviation_);
    dg->addWidget(use);
    dg->addWidget(deviation_, 1);

    auto* sourceGroup = new QGroupBox("Source file", this);
    orientation_ = new QLabel(sourceGroup);
    direction_ = new QLabel(sourceGroup);
    orientation_->setObjectName("orientation");
    direction_->setObjectName("direction");
    auto* og = new QHBoxLayout(sourceGroup);
    og->addWidget(orientation_, 1);
    og->addWidget(direction_, 1);

    auto* outputGroup = new QGroupBox("Output file(s) Destination", this);
    output_ = new QLabel("-", outputGroup);
    output_->setObjectName("output");
    output_->setWordWrap(true);
    outputBrowse_ = new QPushButton("...", outputGroup);
    outputBrowse_->setObjectName("outputBrowse");
    outputBrowse_->setFixedWidth(32);
    auto* outl = new QHBoxLayout(outputGroup);
    outl->addWidget(output_, 1);
    outl->addWidget(outputBrowse_);

    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setVisible(false);
    export_ = new QPushButton("&Export", this);
    cancel_ = new QPushButton("&Cancel", this);
    export_->setEnabled(false);

    connect(inputBrowse_, &QPushButton::clicked, this, &CFileResamplingDlg::BrowseInput);
    connect(outputBrowse_, &QPushButton::clicked, this, &CFileResamplingDlg::BrowseOutput);
    connect(from_, &QLineEdit::editingFinished, this, &CFileResamplingDlg::checkFrom);
    connect(to_, &QLineEdit::editingFinished, this, &CFileResamplingDlg::checkTo);
    connect(interval_, &QLineEdit::editingFinished, this, &CFileResamplingDlg::checkInterval);
    connect(deviation_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (i < 0) return;
        rs_.SetDeviation(deviation_->itemData(i).toInt());
        output_->setText(QString::fromStdString(rs_.outputHeaderPath()));
        redrawPreview();
    });
    connect(export_, &QPushButton::clicked, this, [this] { Export(); });
    connect(cancel_, &QPushButton::clicked, this, &CFileResamplingDlg::reject);

    rs_.progress = [this](std::int64_t pos, std::int64_t range) { runner_.postProgress(pos, range); };
    connect(&runner_, &ExportRunner::progress, this, [this](qint64 pos, qint64 range) {
        progress_->setRange(0, static_cast<int>(std::clamp<qint64>(range, 0, INT32_MAX)));
        progress_->setValue(static_cast<int>(std::clamp<qint64>(pos, 0, INT32_MAX)));
    });
    connect(&runner_, &ExportRunner::finished, this, [this](bool ok) {
        QApplication::restoreOverrideCursor();
        for (QWidget* w : std::initializer_list<QWidget*>{inputBrowse_, outputBrowse_, from_, to_, interval_,
                                                          deviation_, export_})
            w->setEnabled(true);
        emit exportFinished(ok);
    });

    auto* right = new QVBoxLayout;
    right->addWidget(inputGroup);
    right->addWidget(rangeGroup);
    right->addWidget(samplingGroup);
    right->addWidget(deviationGroup);
    right->addWidget(sourceGroup);
    right->addWidget(outputGroup);
    right->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(export_);
    buttons->addWidget(cancel_);
    right->addLayout(buttons);
    auto* top = new QHBoxLayout;
    top->addWidget(preview_, 0, Qt::AlignTop);
    top->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(progress_);

    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    redrawPreview();
}

double CFileResamplingDlg::shownDepth(double v) const {
    const int display = context_.settings.SetDepthUnit == 1 ? 1 : 0;
    if (display == logUnit_) return v;
    return display == 1 ? v * units::kFeetPerMetre : v * units::kMetresPerFoot;
}

void CFileResamplingDlg::showRange() {
    from_->setText(QString::fromStdString(format("%.2f", shownDepth(rs_.from()))));
    to_->setText(QString::fromStdString(format("%.2f", shownDepth(rs_.to()))));
}

void CFileResamplingDlg::showSampling() {
    const SamplingView& v = rs_.sampling();
    average_->setText(QString::fromStdString(v.averageText));
    averageUnit_->setText(QString::fromStdString(v.unitText));
    intervalUnit_->setText(QString::fromStdString(v.unitText));
    interval_->setText(QString::number(v.intervalShown));
    range_->setText(QString::fromStdString(v.rangeText));
}

void CFileResamplingDlg::redrawPreview() {
    // The log's own playback display window and contrast, the colours of the palette in use now.
    BuildColourTable(palettes_, context_.settings, colours_);
    ExportPreviewRaster raster(context_.settings, rs_.header(), colours_);
    if (loaded_) rs_.CreateViewerBMP(raster, kPreviewRows);
    preview_->setImage(rasterImage(raster.raster(), kPreviewRows));
}

void CFileResamplingDlg::BrowseInput() {
    std::string start =
        context_.paths.lastDataFile.empty() ? context_.paths.logDir : context_.paths.lastDataFile;
    auto chosen = op_.chooseFile("Open", start, "VEXA File (*.HED)", false);
    if (!chosen) return;
    loaded_ = rs_.LoadInput(*chosen);
    export_->setEnabled(loaded_);
    if (!loaded_) {
        if (mainStatus_) mainStatus_("export file failled...");
        input_->setText("*.hed");
        output_->setText("-");
        redrawPreview();
        return;
    }
    // The log's unit, as the header reports it through the resampler's texts.
    LogHeader h;
    {
        Settings s = context_.settings;
        ProgramPaths p = context_.paths;
        PlacementRecord pl = context_.placements;
        ScriptedOperator quiet;
        CHeader reader(s, p, pl, quiet, h, *context_.sondes);
        reader.ReadHeader(*chosen);
    }
    logUnit_ = h.depthUnit == 1 ? 1 : 0;
    input_->setText(QString::fromStdString(*chosen));
    {
        QSignalBlocker block(deviation_);
        deviation_->setCurrentIndex(deviation_->findData(rs_.deviation()));
    }
    orientation_->setText(QString::fromStdString(rs_.orientationText()));
    direction_->setText(QString::fromStdString(rs_.directionText()));
    output_->setText(QString::fromStdString(rs_.outputHeaderPath()));
    showRange();
    showSampling();
    redrawPreview();
}

void CFileResamplingDlg::BrowseOutput() {
    auto folder = op_.chooseFolder("Set export path file.", rs_.outputFolder());
    if (!folder) return;
    rs_.SetOutputFolder(*folder);
    output_->setText(QString::fromStdString(rs_.outputHeaderPath()));
}

void CFileResamplingDlg::checkFrom() {
    if (!loaded_ || checking_) return;
    checking_ = true;
    const double before = rs_.from();
    rs_.SetFrom(parseLeadingDouble(from_->text().toStdString()));
    showRange();
    if (rs_.from() != before) {
        showSampling();
        redrawPreview();
    }
    checking_ = false;
}

void CFileResamplingDlg::checkTo() {
    if (!loaded_ || checking_) return;
    checking_ = true;
    const double before = rs_.to();
    rs_.SetTo(parseLeadingDouble(to_->text().toStdString()));
    showRange();
    if (rs_.to() != before) {
        showSampling();
        redrawPreview();
    }
    checking_ = false;
}

void CFileResamplingDlg::checkInterval() {
    // A check that starts while another one shows its message is ignored.
    if (!loaded_ || checking_) return;
    checking_ = true;
    rs_.CheckInterval(interval_->text().toStdString());
    interval_->setText(QString::number(rs_.sampling().intervalShown));
    checking_ = false;
}

CFileResamplingDlg::~CFileResamplingDlg() {
    rs_.abort = true;
}

bool CFileResamplingDlg::Export() {
    if (!loaded_ || runner_.busy()) return false;
    // The checks and the question here, where the operator answers; the export on the worker.
    if (!rs_.CheckOutputs(false)) return false;
    // Nothing the export reads changes while it runs.
    for (QWidget* w : std::initializer_list<QWidget*>{inputBrowse_, outputBrowse_, from_, to_, interval_,
                                                      deviation_, export_})
        w->setEnabled(false);
    progress_->setValue(0);
    progress_->setVisible(true);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    runner_.start([this] { return rs_.WriteResampled(); });
    return true;
}

void CFileResamplingDlg::reject() {
    if (runner_.busy()) {
        rs_.abort = true;
        return;
    }
    QDialog::reject();
}

}  // namespace quelt::ui
