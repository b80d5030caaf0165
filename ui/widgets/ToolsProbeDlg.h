#pragma once
// The tools box: the sonde's orientation sensors and the angles computed from them in twelve counters,
// and the technical tools dialog that switches the diagnostic outputs and the technical display.

#include <QCheckBox>
#include <QDialog>
#include <array>
#include <functional>
#include <string>

#include "platform/SwitchStore.h"
#include "stream/LiveState.h"

namespace quelt::ui {

class CGraphicCounterCtrl;

enum class ToolsColourMode { None, Replay, Live, Grey };

// The twelve texts in the order HX, HY, HZ, GX, GY, GZ, Roll, MRoll, MHeading, Incl., T. Grav., T. Mag.
std::array<std::string, 12> toolsBoxTexts(const LiveValues& v);
ToolsColourMode toolsColourMode(bool replayLoaded, int linkStatus);

class CToolsProbeDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CToolsProbeDlg(QWidget* parent = nullptr);
    static constexpr const char* kLabels[12] = {"HX",   "HY",    "HZ",       "GX",    "GY",       "GZ",
                                                "Roll", "MRoll", "MHeading", "Incl.", "T. Grav.", "T. Mag."};

    // Rewrites every value when the window is visible.
    void refresh(const LiveValues& v, bool replayLoaded, int linkStatus);
    CGraphicCounterCtrl* field(int i) const { return fields_.at(static_cast<size_t>(i)); }
    ToolsColourMode colourMode() const { return mode_; }
    // Closing stores the placement.
    std::function<void()> onLeave;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    std::array<CGraphicCounterCtrl*, 12> fields_{};
    ToolsColourMode mode_ = ToolsColourMode::None;
};

class CTechnicalToolsDlg : public QDialog {
    Q_OBJECT
  public:
    // The boxes start from `switches`; OK sets them and writes all four to `store`.
    CTechnicalToolsDlg(TechnicalSwitches& switches, const SwitchStore& store, QWidget* parent = nullptr);
    QCheckBox* box(int i) const { return boxes_.at(static_cast<size_t>(i)); }
    void accept() override;

  private:
    TechnicalSwitches& switches_;
    const SwitchStore& store_;
    std::array<QCheckBox*, 4> boxes_{};
};

}  // namespace quelt::ui
