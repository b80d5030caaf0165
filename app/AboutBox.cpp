#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "platform/InstanceLock.h"

namespace quelt::app {

QStringList aboutLines(const std::string& loggerSerial) {
    QStringList lines;
    lines << "OS: " + QString::fromStdString(operatingSystemName());
    lines << (loggerSerial.empty() ? QString("No device in USB")
                                   : "Logger S/N : " + QString::fromStdString(loggerSerial));
    lines << QString("VEXA version") + QChar(0x00A0) + kProductVersion;
    lines << "QueltLogger for Linux, the surface acquisition program of the VEXA televiewer.";
    return lines;
}

AboutBox::AboutBox(const std::string& loggerSerial, QWidget* parent) : QDialog(parent) {
    setWindowTitle("About QueltLogger");
    auto* v = new QVBoxLayout(this);
    auto* banner = new QLabel(kProductBanner, this);
    QFont f("Arial", 14, QFont::Bold);
    banner->setFont(f);
    v->addWidget(banner);
    int i = 0;
    for (const QString& line : aboutLines(loggerSerial)) {
        auto* l = new QLabel(line, this);
        l->setObjectName(QString("line%1").arg(i++));
        v->addWidget(l);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    v->addWidget(buttons);
}

}  // namespace quelt::app
