#include "ui/setup/PropertyLoggerDlg.h"

#include <QCloseEvent>
#include <QVBoxLayout>

#include "ui/widgets/Placement.h"

namespace quelt::ui {

CPropertyLoggerDlg::CPropertyLoggerDlg(SetupSheet& sheet, const Clock& clock, PlacementRecord& placements,
                                       QWidget* parent)
    : QDialog(parent), sheet_(sheet), clock_(clock), placements_(placements) {
    setObjectName("loggerSetup");
    setWindowTitle(SetupSheet::title());
    setModal(false);
    setting_ = new QLabel("Setting", this);
    setting_->setObjectName("settingLabel");
    readBack_ = new QLabel("Read back", this);
    readBack_->setObjectName("readBackLabel");
    tabs_ = new QTabWidget(this);
    winch = new CPWinchDlg(sheet, clock, this);
    probe = new CPProbeDlg(sheet, clock, this);
    comm = new CPCommDlg(sheet, clock, this);
    picture = new CPPictureDlg(sheet, clock, this);
    tol = new CPFileTolDlg(sheet, this);
    auto* labels = new QHBoxLayout;
    labels->addSpacing(150);
    labels->addWidget(setting_);
    labels->addSpacing(60);
    labels->addWidget(readBack_);
    labels->addStretch();
    auto* v = new QVBoxLayout(this);
    v->addLayout(labels);
    v->addWidget(tabs_);
    buildTabs();
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int i) { tabChanged(i); });
    sheet_.onControlState = [this] { controlState(); };
    sheet_.onReadBack = [this] { readBacks(); };
    connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void CPropertyLoggerDlg::buildTabs() {
    switching_ = true;
    tabs_->clear();
    tabOrder_ = sheet_.tabs();
    technicalTools_ = sheet_.settings().switches.TechnicalTools;
    for (SetupTab t : tabOrder_) {
        QWidget* page = t == SetupTab::Winch             ? static_cast<QWidget*>(winch)
                        : t == SetupTab::Probe           ? static_cast<QWidget*>(probe)
                        : t == SetupTab::Communication   ? static_cast<QWidget*>(comm)
                        : t == SetupTab::AcquisitionMode ? static_cast<QWidget*>(picture)
                                                         : static_cast<QWidget*>(tol);
        tabs_->addTab(page, SetupSheet::caption(t));
    }
    tol->setVisible(technicalTools_);
    tabs_->setCurrentIndex(2);  // "Communication"
    shownTab_ = 2;
    setting_->setVisible(true);
    readBack_->setVisible(true);
    switching_ = false;
}

void CPropertyLoggerDlg::open() {
    if (technicalTools_ != sheet_.settings().switches.TechnicalTools) buildTabs();
    const WindowPlacement p = placements_.get(PlacementSlot::LoggerSetup);
    if (p.valid()) {
        applyPlacement(this, p, true);
    } else if (parentWidget()) {
        const QPoint at = parentWidget()->geometry().topLeft() + QPoint(20, 170);
        move(at);
    }
    tabs_->setCurrentIndex(2);
    sheet_.show(clock_.now());
    refreshPages();
    timer_.start(kTickMs);
    show();
    raise();
}

void CPropertyLoggerDlg::refreshPages() {
    sheet_.refreshPages();
    winch->refresh();
    probe->refresh();
    comm->refresh();
    picture->refresh();
    if (technicalTools_) tol->refresh();
}

void CPropertyLoggerDlg::offsetViewLine(const std::uint8_t* amplitudes, int samples, double rotation) {
    probe->drawOffsetView(amplitudes, samples, rotation);
}

void CPropertyLoggerDlg::tick() {
    sheet_.tick(clock_.now());
    comm->showLamps();
    // A closed sheet keeps its timer until the echo checks it started have ended.
    const bool checking = sheet_.comm.readBack.running() || sheet_.picture.echoCheck.running() ||
                          sheet_.winch.echoCheck.running();
    if (!sheet_.visible() && !checking) timer_.stop();
}

void CPropertyLoggerDlg::tabChanged(int index) {
    if (switching_ || index < 0) return;
    const SetupTab to = tabAt(index);
    if (shownTab_ >= 0 && tabAt(shownTab_) == SetupTab::Probe && to != SetupTab::Probe) {
        const bool left = sheet_.selectTab(to, clock_.now());
        if (!left) {
            switching_ = true;
            tabs_->setCurrentIndex(shownTab_);
            switching_ = false;
            return;
        }
        refreshPages();
    } else {
        sheet_.selectTab(to, clock_.now());
    }
    shownTab_ = index;
    setting_->setVisible(SetupSheet::settingLabelShown(to));
    readBack_->setVisible(SetupSheet::readBackLabelShown(to));
}

void CPropertyLoggerDlg::controlState() {
    const ControlState& c = sheet_.controls();
    winch->applyControls(c);
    probe->applyControls(c, sheet_.gammaGroupShown(), sheet_.addEnabled());
    comm->applyControls(sheet_.commEnables());
    picture->applyControls(c.picture);
}

void CPropertyLoggerDlg::readBacks() {
    const bool replay = sheet_.modes().playing.load() || sheet_.modes().replayLoaded.load();
    comm->readBack(replay);
    picture->readBack(replay, replayOrientation ? replayOrientation() : 0);
}

bool CPropertyLoggerDlg::leave() {
    if (!sheet_.close(clock_.now())) {
        for (int i = 0; i < tabs_->count(); ++i)
            if (tabAt(i) == SetupTab::Probe) tabs_->setCurrentIndex(i);
        return false;
    }
    placements_.set(PlacementSlot::LoggerSetup, placementOf(this));
    return true;
}

void CPropertyLoggerDlg::reject() {
    if (leave()) QDialog::reject();
}

void CPropertyLoggerDlg::closeEvent(QCloseEvent* event) {
    if (!sheet_.visible() || leave())
        event->accept();
    else
        event->ignore();
}

// --- LoggerSetup -------------------------------------------------------------------------------------

class LoggerSetup::Ports final : public AcquisitionSetupPorts {
  public:
    Ports(Acquisition& acq, Hooks hooks) : AcquisitionSetupPorts(acq), hooks_(std::move(hooks)) {}
    void refreshToolsBox() override {
        if (hooks_.refreshToolsBox) hooks_.refreshToolsBox();
    }
    void refreshPages() override {
        if (dialog) dialog->refreshPages();
    }
    void setOrientationLabels(int code) override {
        if (hooks_.setOrientationLabels) hooks_.setOrientationLabels(code);
    }
    void buildColourTable() override {
        if (hooks_.buildColourTable) hooks_.buildColourTable();
    }
    void travelToolsOffsetEdit(int code) override {
        if (hooks_.travelToolsOffsetEdit) hooks_.travelToolsOffsetEdit(code);
    }
    CPropertyLoggerDlg* dialog = nullptr;

  private:
    Hooks hooks_;
};

LoggerSetup::LoggerSetup(Acquisition& acq, Operator& op, const Clock& clock, PlacementRecord& placements,
                         Hooks hooks, QWidget* parent)
    : runCommCheck_(hooks.runCommCheck), ports_(std::make_unique<Ports>(acq, std::move(hooks))) {
    shared_ = std::make_unique<SetupShared>(setupShared(acq, op, *ports_));
    sheet_ = std::make_unique<SetupSheet>(*shared_);
    dialog_ = new CPropertyLoggerDlg(*sheet_, clock, placements, parent);
    ports_->dialog = dialog_;
    // "&Check" runs the communication auto-check (the front end's hook); the page puts the picture settings
    // back when it returns.
    if (runCommCheck_) {
        QObject::connect(dialog_->comm, &CPCommDlg::checkRequested, dialog_,
                         [this, run = runCommCheck_] { run(dialog_->frameGeometry().width()); });
    }
}

LoggerSetup::~LoggerSetup() {
    if (ports_) ports_->dialog = nullptr;
}

}  // namespace quelt::ui
