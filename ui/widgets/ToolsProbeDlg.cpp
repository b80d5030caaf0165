#include "ui/widgets/ToolsProbeDlg.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "platform/Text.h"
#include "ui/widgets/GraphicCounterCtrl.h"

namespace quelt::ui {

namespace {
constexpr double kUnknown = -32767;

std::string integer(double v) {
    return format("%d", std::isfinite(v) ? static_cast<int>(v) : 0);
}
std::string real(const char* fmt, double v) {
    return format(fmt, std::isfinite(v) ? v : 0.0);
}
}  // namespace

std::array<std::string, 12> toolsBoxTexts(const LiveValues& v) {
    std::array<std::string, 12> t;
    if (v.gz <= kUnknown || v.highSide <= kUnknown) {
        t.fill("-");
        return t;
    }
    t = {integer(v.hx),
         integer(v.hy),
         integer(v.hz),
         integer(v.gx),
         integer(v.gy),
         integer(v.gz),
         real("%6.2f", v.highSide),
         real("%6.2f", v.magToolface),
         real("%5.1f", v.azimuth),
         real("%6.2f", v.tilt),
         real("%6.3f", v.gravityTotal),
         real("%6.3f", v.magneticTotal)};
    return t;
}

ToolsColourMode toolsColourMode(bool replayLoaded, int linkStatus) {
    if (replayLoaded) return ToolsColourMode::Replay;
    if (linkStatus == 255) return ToolsColourMode::Live;
    return ToolsColourMode::Grey;
}

CToolsProbeDlg::CToolsProbeDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Tools Box");
    setObjectName("toolsBox");
    auto* column = new QVBoxLayout(this);
    auto* group = new QGroupBox("Current Orientation Data", this);
    QFont heavy("Arial");
    heavy.setPixelSize(10);
    heavy.setWeight(QFont::Black);
    group->setFont(heavy);
    auto* grid = new QGridLayout(group);
    QFont plain = font();
    for (int i = 0; i < 12; ++i) {
        auto* label = new QLabel(kLabels[i], group);
        label->setFont(plain);
        auto* c = new CGraphicCounterCtrl(group);
        c->setObjectName(QString("tools%1").arg(i));
        c->setFixedSize(90, 22);
        c->SetColours(Qt::black, colourFromRgb(0xA0A0A0), Qt::black, colourFromRgb(0xA0A0A0));
        fields_[static_cast<size_t>(i)] = c;
        grid->addWidget(label, (i % 6), (i / 6) * 2);
        grid->addWidget(c, (i % 6), (i / 6) * 2 + 1);
    }
    column->addWidget(group);
}

void CToolsProbeDlg::refresh(const LiveValues& v, bool replayLoaded, int linkStatus) {
    if (!isVisible()) return;
    const ToolsColourMode mode = toolsColourMode(replayLoaded, linkStatus);
    if (mode != mode_) {
        mode_ = mode;
        // Replay colour reference 0xFFFFA0, live 0x00FFFF, grey 0xA0A0A0.
        const QColor c = mode == ToolsColourMode::Replay ? colourFromRef(0xFFFFA0)
                         : mode == ToolsColourMode::Live ? colourFromRef(0x00FFFF)
                                                         : colourFromRef(0xA0A0A0);
        for (auto* f : fields_)
            f->SetColours(Qt::black, c, Qt::black, c);
    }
    const auto texts = toolsBoxTexts(v);
    for (size_t i = 0; i < fields_.size(); ++i)
        fields_[i]->WriteCounterDataCString(texts[i]);
}

void CToolsProbeDlg::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        for (auto* f : fields_)
            f->WriteCounterDataCString(f->text());
    QDialog::changeEvent(event);
}

void CToolsProbeDlg::closeEvent(QCloseEvent* event) {
    if (onLeave) onLeave();
    QDialog::closeEvent(event);
}

// ---------------------------------------------------------------- technical tools

CTechnicalToolsDlg::CTechnicalToolsDlg(TechnicalSwitches& switches, const SwitchStore& store, QWidget* parent)
    : QDialog(parent), switches_(switches), store_(store) {
    setWindowTitle("Technical tools ");
    setObjectName("technicalTools");
    auto* column = new QVBoxLayout(this);
    static const char* const kCaptions[4] = {"Display technical tools", "file : error_VEXA.log",
                                             "File : Trace_VEXA.log", "Full tracing"};
    const bool values[4] = {switches.TechnicalTools, switches.DebugingTools, switches.DebugingTrace,
                            switches.FullTracing};
    for (int i = 0; i < 4; ++i) {
        auto* b = new QCheckBox(kCaptions[i], this);
        b->setChecked(values[i]);
        boxes_[static_cast<size_t>(i)] = b;
        column->addWidget(b);
    }
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTechnicalToolsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

void CTechnicalToolsDlg::accept() {
    switches_.TechnicalTools = boxes_[0]->isChecked();
    switches_.DebugingTools = boxes_[1]->isChecked();
    switches_.DebugingTrace = boxes_[2]->isChecked();
    switches_.FullTracing = boxes_[3]->isChecked();
    store_.write(switches_);
    QDialog::accept();
}

}  // namespace quelt::ui
