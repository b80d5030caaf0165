#pragma once
// The About box: the operating system, the logger's serial number and the program's version.

#include <QDialog>
#include <QStringList>
#include <string>

namespace quelt::app {

// Its lines: "OS: " + the system's name, "Logger S/N : " + the serial (or "No device in USB" while no
// logger was identified), "VEXA version" + a non-breaking space + "4.10", and the notice line.
QStringList aboutLines(const std::string& loggerSerial);

class AboutBox : public QDialog {
    Q_OBJECT
  public:
    explicit AboutBox(const std::string& loggerSerial, QWidget* parent = nullptr);
};

}  // namespace quelt::app
