#include "ui/setup/ExportRunner.h"

#include <QThread>

namespace quelt::ui {

ExportRunner::ExportRunner(QObject* parent) : QObject(parent) {}

ExportRunner::~ExportRunner() {
    job_.wait();
}

bool ExportRunner::start(std::function<bool()> work) {
    if (busy_) return false;
    busy_ = true;
    const bool started = job_.start(std::move(work), [this](bool ok) {
        // Queued behind everything the export posted before it ended.
        QMetaObject::invokeMethod(
            this,
            [this, ok] {
                job_.wait();
                busy_ = false;
                emit finished(ok);
            },
            Qt::QueuedConnection);
    });
    if (!started) busy_ = false;
    return started;
}

void ExportRunner::postProgress(std::int64_t pos, std::int64_t range) {
    pos_ = pos;
    range_ = range;
    if (progressPending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressPending_ = false;
            emit progress(pos_.load(), range_.load());
        },
        Qt::QueuedConnection);
}

void ExportRunner::postStatus(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { emit status(QString::fromStdString(text)); }, Qt::QueuedConnection);
}

bool WorkerOperator::onWindowThread() const {
    return QThread::currentThread() == object_->thread();
}

void WorkerOperator::message(const std::string& text, MessageKind kind) {
    if (onWindowThread()) return window_.message(text, kind);
    QMetaObject::invokeMethod(
        object_, [this, text, kind] { window_.message(text, kind); }, Qt::QueuedConnection);
}

bool WorkerOperator::askYesNo(const std::string& text) {
    return onWindowThread() && window_.askYesNo(text);
}

std::optional<std::string> WorkerOperator::chooseFile(const std::string& title, const std::string& startDir,
                                                      const std::string& filter, bool forSaving) {
    if (!onWindowThread()) return std::nullopt;
    return window_.chooseFile(title, startDir, filter, forSaving);
}

std::optional<std::string> WorkerOperator::chooseFolder(const std::string& title,
                                                        const std::string& startDir) {
    if (!onWindowThread()) return std::nullopt;
    return window_.chooseFolder(title, startDir);
}

}  // namespace quelt::ui
