#pragma once
// "Travel-Level Tools": the acoustic window set in borehole diameters, the gain, the display window and
// gain, and two live views of the latest revolution (the cross-section and the amplitude level). A thin
// view over the core TravelTools model: it shows the model's entries and view, and turns edits, spins
// and check boxes into the model's calls. The 200 ms update and the 100 ms view refresh are the core's
// tick(now) state machines, driven by two timers.

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "config/ProgramContext.h"
#include "imaging/CrossSection.h"
#include "platform/Clock.h"
#include "platform/Operator.h"
#include "stream/ImageLine.h"
#include "stream/TravelTools.h"

namespace quelt::ui {

class CLevelCtrl;

inline constexpr const char* kCloseDuringOffsetEdit =
    "You must close the editing offset before close this dialog !!!";

// What the window needs from the program around it.
struct TravelHost {
    std::function<void()> sendF5;                // command 0x05 from the settings
    std::function<TravelLinkState()> linkState;  // the link, the modes and the read-backs, now
    std::function<bool()> offsetEditOpen;        // the probe page edits the rotation offset
    std::function<void()> refreshToolsBox;
};

// The polar cross-section view: the core drawing, shown off screen and repainted once per change.
class CTravelCtrl : public QWidget {
    Q_OBJECT
  public:
    explicit CTravelCtrl(QWidget* parent = nullptr);
    CrossSectionView& view() { return view_; }
    void tick(Millis now, bool framesArriving, int sourceId);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    CrossSectionView view_;
};

class CTravelWindowDlg : public QDialog, private TravelToolsPorts {
    Q_OBJECT
  public:
    CTravelWindowDlg(ProgramContext& context, Operator& op, const Clock& clock, TravelHost host,
                     QWidget* parent = nullptr);

    // Shows the window at its stored placement (else beside `beside` on a screen wider than 1050 pixels).
    void open(const QWidget* beside);
    // The depth unit changed; the refresh notification (power on and off); the offset-edit codes.
    void unitChanged();
    void refreshNotification();
    void offsetEditNotification(int code);
    // A revolution for the two views (any thread): raw travel times, amplitudes, orientation.
    void postLine(const ImageLine& line, double orientation, bool acquisition);
    // What the two timers run: the 200 ms update and the 100 ms views, each when due.
    void tick(Millis now);

    TravelTools& model() { return model_; }
    // The controls, by what they show.
    QLineEdit *dmin, *dmax, *velocity, *displayMin, *displayMax, *gain, *displayGain;
    QLabel *replayMin, *replayMax, *blankingValue, *windowValue, *blankingReadBack, *windowReadBack,
        *gainReadBack, *resolution, *velocityUnit;
    QGroupBox *acquisitionGroup, *displayGroup;
    QCheckBox *tracking, *agc, *showPhantom;
    QComboBox* refreshMode;
    CTravelCtrl* travel;
    CLevelCtrl* level;

  protected:
    void closeEvent(QCloseEvent* event) override;
    // Escape closes as the close box does: refused during an offset edit, the placement stored.
    void reject() override { close(); }

  private:
    // TravelToolsPorts
    void sendF5() override;
    void saveSettings() override;
    void saveAcquisitionSettings() override;
    void refreshToolsBox() override;
    void savePlaybackToHeader() override;
    void showMessage(const std::string& text) override;
    void restartViews() override;

    void build();
    // The steps of build(), in their order; the add... steps fill the value column from `row` down.
    std::pair<QGroupBox*, QGroupBox*> buildViews();
    void addTimeRows(QGridLayout* right, int& row);
    void addAcquisitionGroup(QGridLayout* right, int& row);
    void addVelocityRows(QGridLayout* right, int& row);
    void addDisplayGroup(QGridLayout* right, int& row);
    void addGainRows(QGridLayout* right, int& row);
    void connectEntries();
    QWidget* spinned(QLineEdit* entry, std::function<void(int)> spin, std::function<void()> release);
    void takeEntries();  // the typed texts into the model's entries
    void display(bool all);
    void update200(Millis now);
    void updateViews(Millis now);
    CrossSectionSettings sectionSettings() const;

    ProgramContext& context_;
    Operator& op_;
    const Clock& clock_;
    TravelHost host_;
    TravelTools model_;
    QTimer viewTimer_;  // every 100 ms: the views, and the 200 ms update when due
    int source_ = 0;
    bool lastReplay_ = false;
    std::mutex levelMutex_;
    std::vector<std::uint8_t> amplitudes_;
    double levelOrientation_ = 0;
    bool levelFresh_ = false;
    std::atomic<bool> open_{false};  // read by the reader thread: lines are copied only while shown
};

}  // namespace quelt::ui
