#pragma once
// The window side of an ExportJob. The export runs on the job's thread; its progress, status texts,
// messages and end reach the window as queued signals, so no export ever runs inside a window
// callback and nothing pumps the window's event loop from inside an export.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "export/ExportJob.h"
#include "platform/Operator.h"

namespace quelt::ui {

class ExportRunner : public QObject {
    Q_OBJECT
  public:
    explicit ExportRunner(QObject* parent = nullptr);
    // Waits for a running export (its owner has asked it to stop first).
    ~ExportRunner() override;

    // Runs `work` on the job's thread; false while an export runs.
    bool start(std::function<bool()> work);
    bool busy() const { return busy_; }

    // The callbacks the core export objects take; each may be called from the job's thread. Progress
    // is coalesced: a burst of positions costs one update, with the latest position.
    void postProgress(std::int64_t pos, std::int64_t range);
    void postStatus(const std::string& text);

  signals:
    void progress(qint64 pos, qint64 range);
    void status(const QString& text);
    // On the window's thread, after every message and status of the export.
    void finished(bool ok);

  private:
    ExportJob job_;
    bool busy_ = false;
    std::atomic<bool> progressPending_{false};
    std::atomic<std::int64_t> pos_{0}, range_{0};
};

// The operator of an export object whose work runs on a worker: on the window's thread it is the
// window's operator; from another thread its messages are shown on the window's thread, in order,
// while the worker goes on, and its questions and choosers are refused (the exports ask everything
// before the work starts).
class WorkerOperator final : public Operator {
  public:
    WorkerOperator(Operator& window, QObject* windowObject) : window_(window), object_(windowObject) {}

    void message(const std::string& text, MessageKind kind = MessageKind::Information) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> chooseFile(const std::string& title, const std::string& startDir,
                                          const std::string& filter, bool forSaving) override;
    std::optional<std::string> chooseFolder(const std::string& title, const std::string& startDir) override;

  private:
    bool onWindowThread() const;

    Operator& window_;
    QObject* object_;
};

}  // namespace quelt::ui
