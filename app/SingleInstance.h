#pragma once
// One desktop program per program folder: the first instance holds the folder's lock and listens on a
// local socket; a second instance asks it to come forward (restored if minimised) and ends.

#include <QLocalServer>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "platform/InstanceLock.h"

namespace quelt::app {

inline constexpr const char* kPrecedingInstanceText =
    "A preceding version of the program was detected, please await the end of the process.  Or employ the "
    "task manager to finish this process.";

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(const std::string& home, QObject* parent = nullptr);

    // True when no other instance runs on this folder; this instance is then the first.
    bool PreviousInstanceRunning();
    // Listens for later instances and brings `window` forward when one starts.
    void TrackFirstInstance(QWidget* window);
    // Asks the first instance to bring its window forward.
    void ActivatePreviousInstance();

  private:
    void activateTrackedWindow();

    InstanceLock lock_;
    QString serverName_;
    std::unique_ptr<QLocalServer> server_;
    QPointer<QWidget> window_;
};

}  // namespace quelt::app
