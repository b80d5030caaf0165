#include "app/MainWindow.h"

#include <QLabel>

#include "config/ProgramContext.h"

namespace quelt::app {

MainWindow::MainWindow(ProgramContext& context, QWidget* parent) : QMainWindow(parent), context_(context) {
    setWindowTitle("QueltLogger");
    auto* label = new QLabel(QString::fromStdString("Program folder: " + context_.home.string()), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
    resize(800, 600);
}

}  // namespace quelt::app
