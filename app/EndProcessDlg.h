#pragma once
// The small window shown while the program shuts down, with one line of text.

#include <QLabel>
#include <QWidget>

namespace quelt::app {

inline constexpr const char* kShutdownWait = "Shutdown ... wait";
inline constexpr const char* kEndingUsb = "Ending USB Process ... wait";
inline constexpr const char* kShutdownProcess = "Shutdown Process ... please wait";

class CEndProcessDlg : public QWidget {
    Q_OBJECT
  public:
    CEndProcessDlg();
    // Sets the text, shows the window and lets it paint.
    void say(const char* text);
    QString text() const { return line_->text(); }

  private:
    QLabel* line_;
};

}  // namespace quelt::app
