#pragma once
// "Communication Auto check": the window of the communication auto-check. It shows the model's current
// and selected values, its Infos line and, during a verification, its progress; "&Cancel" and closing the
// window ask the model to cancel, and the window closes itself once the model has run its closing steps.
// A single-shot timer calls the model's tick at the time the model asks for.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <memory>

#include "platform/Clock.h"
#include "stream/CheckComm.h"

namespace quelt {
class Acquisition;
}

namespace quelt::ui {

class CCheckCommDlg : public QDialog {
    Q_OBJECT
  public:
    // Over a check built elsewhere (tests); the check must outlive the window.
    CCheckCommDlg(CCheckComm& check, const Clock& clock, QWidget* parent = nullptr);
    // Over a check of its own on the acquisition pipeline, asking through `op`.
    CCheckCommDlg(Acquisition& acquisition, Operator& op, const Clock& clock, QWidget* parent = nullptr);
    ~CCheckCommDlg() override;

    // Opens the check and shows the window to the right of the setup sheet: the main window's left plus
    // the sheet's width plus 60, the main window's top plus 170 (with no sheet, beside the main window).
    void start(const QWidget* mainWindow = nullptr, int sheetWidth = -1);
    // Opens, runs modally until the check has closed, and returns its result.
    static CheckCommResult run(Acquisition& acquisition, Operator& op, const Clock& clock,
                               QWidget* mainWindow, int sheetWidth = -1);

    // One tick of the model now, then the window redrawn (the timer calls it; tests on a fake clock too).
    void tickNow();
    CCheckComm& check() { return check_; }

    QLineEdit* currentField(int i) const { return current_[static_cast<std::size_t>(i)]; }
    QLineEdit* selectedField(int i) const { return selected_[static_cast<std::size_t>(i)]; }
    QLabel* infos() const { return infos_; }
    QProgressBar* progress() const { return progress_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The colour a tone is shown in.
    static QColor toneColour(CheckCommTone tone);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void build();
    void refresh();
    void schedule();

    std::unique_ptr<CCheckComm> own_;
    CCheckComm& check_;
    const Clock& clock_;
    QTimer timer_;
    bool ticking_ = false;
    std::array<QLineEdit*, 4> current_{}, selected_{};
    QLabel* infos_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace quelt::ui
