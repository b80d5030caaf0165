#pragma once
// The main window of the desktop program.

#include <QMainWindow>

namespace quelt {
struct ProgramContext;
}

namespace quelt::app {

class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(ProgramContext& context, QWidget* parent = nullptr);

  private:
    ProgramContext& context_;
};

}  // namespace quelt::app
