#include "app/SingleInstance.h"

#include <unistd.h>
#include <QCryptographicHash>
#include <QLocalSocket>
#include <QStandardPaths>

#include "platform/Paths.h"

namespace quelt::app {

namespace {
QString folderKey(const std::string& home) {
    QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(home), QCryptographicHash::Sha1).toHex();
    return QString::fromLatin1(hash.left(16));
}

// The lock lives in the user's runtime folder, not in the program folder: a first start must find
// the program folder empty to fill it.
std::string lockPath(const std::string& home) {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    std::string dir = runtime.isEmpty() ? quelt::systemTempDir() : runtime.toStdString() + "/";
    return dir + "queltlogger-" + std::to_string(::getuid()) + "-" + folderKey(home).toStdString() + ".lock";
}
}  // namespace

SingleInstance::SingleInstance(const std::string& home, QObject* parent)
    : QObject(parent),
      lock_(lockPath(home)),
      serverName_("CInstanceChecker_MMF_QueltLogger-" + folderKey(home)) {}

// A lock file that cannot be made at all does not keep the program from running.
bool SingleInstance::PreviousInstanceRunning() {
    return !lock_.acquire() && lock_.error().empty();
}

void SingleInstance::TrackFirstInstance(QWidget* window) {
    window_ = window;
    server_ = std::make_unique<QLocalServer>();
    QLocalServer::removeServer(serverName_);  // a socket left by a crashed first instance
    server_->listen(serverName_);
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            activateTrackedWindow();
        }
    });
}

void SingleInstance::ActivatePreviousInstance() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (socket.waitForConnected(1000)) {
        socket.write("activate\n");
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
    }
}

void SingleInstance::activateTrackedWindow() {
    if (!window_) return;
    if (window_->isMinimized()) window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

}  // namespace quelt::app
