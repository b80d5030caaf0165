#include "ui/setup/CheckCommDlg.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QVBoxLayout>

#include "stream/CheckCommSetup.h"

namespace quelt::ui {
namespace {
const char* const kFieldNames[4] = {"Downh. Drive", "Receiver Gain", "Uphole Drive", "Baudrate"};
constexpr int kSheetGap = 60, kBelowTop = 170;
}  // namespace

QColor CCheckCommDlg::toneColour(CheckCommTone tone) {
    switch (tone) {
        case CheckCommTone::Current:
            return QColor(0x00, 0x00, 0xc8);
        case CheckCommTone::Result:
            return QColor(0x00, 0x00, 0x80);
        case CheckCommTone::Accepted:
            return QColor(0x00, 0xc8, 0x00);
        case CheckCommTone::Error:
            return QColor(0xc8, 0x00, 0x00);
        case CheckCommTone::Plain:
            break;
    }
    return QColor(0x00, 0x00, 0x00);
}

CCheckCommDlg::CCheckCommDlg(CCheckComm& check, const Clock& clock, QWidget* parent)
    : QDialog(parent), check_(check), clock_(clock) {
    build();
}

CCheckCommDlg::CCheckCommDlg(Acquisition& acquisition, Operator& op, const Clock& clock, QWidget* parent)
    : QDialog(parent), own_(makeCheckComm(acquisition, op)), check_(*own_), clock_(clock) {
    build();
}

CCheckCommDlg::~CCheckCommDlg() {
    timer_.stop();
}

void CCheckCommDlg::build() {
    setWindowTitle("Communication Auto check");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Current", this), 0, 1, Qt::AlignHCenter);
    grid->addWidget(new QLabel("Selected", this), 0, 2, Qt::AlignHCenter);
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(kFieldNames[i], this), i + 1, 0);
        for (auto* fields : {&current_, &selected_}) {
            auto* e = new QLineEdit(this);
            e->setReadOnly(true);
            e->setAlignment(Qt::AlignRight);
            e->setFocusPolicy(Qt::NoFocus);
            e->setMaximumWidth(90);
            (*fields)[static_cast<std::size_t>(i)] = e;
            grid->addWidget(e, i + 1, fields == &current_ ? 1 : 2);
        }
    }
    grid->addWidget(new QLabel("Infos", this), 5, 0);
    infos_ = new QLabel(this);
    infos_->setMinimumWidth(260);
    grid->addWidget(infos_, 5, 1, 1, 2);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, CCheckComm::kVerifyFrames);
    progress_->setVisible(false);
    cancel_ = new QPushButton("&Cancel", this);
    connect(cancel_, &QPushButton::clicked, this, [this] {
        check_.cancel();
        refresh();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(progress_);
    layout->addWidget(cancel_, 0, Qt::AlignRight);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CCheckCommDlg::tickNow);
}

void CCheckCommDlg::start(const QWidget* mainWindow, int sheetWidth) {
    if (mainWindow) {
        const QRect frame = mainWindow->frameGeometry();
        const int width = sheetWidth >= 0 ? sheetWidth : frame.width();
        move(frame.left() + width + kSheetGap, frame.top() + kBelowTop);
    }
    check_.open(clock_.now());
    refresh();
    show();
    schedule();
}

CheckCommResult CCheckCommDlg::run(Acquisition& acquisition, Operator& op, const Clock& clock,
                                   QWidget* mainWindow, int sheetWidth) {
    CCheckCommDlg dlg(acquisition, op, clock, mainWindow);
    dlg.start(mainWindow, sheetWidth);
    dlg.exec();
    return dlg.check().result();
}

void CCheckCommDlg::tickNow() {
    // A question of the check runs a nested event loop: the timer must not tick the check again inside it.
    if (ticking_) return;
    ticking_ = true;
    check_.tick(clock_.now());
    ticking_ = false;
    refresh();
    if (check_.closed()) {
        timer_.stop();
        done(check_.result() == CheckCommResult::Success ? QDialog::Accepted : QDialog::Rejected);
        return;
    }
    schedule();
}

void CCheckCommDlg::schedule() {
    if (!check_.running()) return;
    const Millis wait = check_.due() - clock_.now();
    timer_.start(static_cast<int>(std::max<Millis>(wait, 0)));
}

void CCheckCommDlg::refresh() {
    const CheckCommView& v = check_.view();
    auto show = [](QLineEdit* e, const CheckCommField& f) {
        e->setText(QString::fromStdString(f.text));
        QPalette p = e->palette();
        p.setColor(QPalette::Text, toneColour(f.tone));
        e->setPalette(p);
    };
    for (std::size_t i = 0; i < 4; ++i) {
        show(current_[i], v.current[i]);
        show(selected_[i], v.selected[i]);
    }
    infos_->setText(QString::fromStdString(v.infos.text));
    QPalette p = infos_->palette();
    p.setColor(QPalette::WindowText, toneColour(v.infos.tone));
    infos_->setPalette(p);
    progress_->setVisible(v.progressVisible);
    progress_->setValue(v.progress);
    cancel_->setEnabled(v.cancelEnabled && check_.running());
}

void CCheckCommDlg::closeEvent(QCloseEvent* event) {
    if (check_.running()) {
        check_.cancel();
        refresh();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CCheckCommDlg::reject() {
    // Escape, like closing the window, cancels; the window goes once the check has closed.
    if (check_.running()) {
        check_.cancel();
        refresh();
        return;
    }
    QDialog::reject();
}

}  // namespace quelt::ui
