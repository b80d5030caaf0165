#include "app/EndProcessDlg.h"

#include <QApplication>
#include <QVBoxLayout>

namespace quelt::app {

CEndProcessDlg::CEndProcessDlg() : QWidget(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setWindowTitle("QueltLogger");
    setObjectName("endProcess");
    line_ = new QLabel(this);
    QFont f("Arial");
    f.setPixelSize(20);
    f.setWeight(QFont::Light);
    line_->setFont(f);
    line_->setMinimumWidth(320);
    line_->setAlignment(Qt::AlignCenter);
    auto* column = new QVBoxLayout(this);
    column->addWidget(line_);
}

void CEndProcessDlg::say(const char* text) {
    line_->setText(text);
    show();
    raise();
    repaint();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace quelt::app
