#pragma once
// A long export (the LAS file, a resampled log, the HTML report) on a thread of its own, so that the
// front end that started it goes on with its own work: the window keeps painting and answering clicks,
// the command line watches for an interrupt. Nothing here knows a window: the export reports through
// its own callbacks, called on the job's thread, and the front end carries them to where it shows them.
//
// Threads: start(), running(), wait() and result() are called from the thread that owns the job; the
// work and then `done` run on the job's thread. A job is waited for before it is destroyed.

#include <atomic>
#include <functional>
#include <thread>

namespace quelt {

class ExportJob {
  public:
    ExportJob() = default;
    ~ExportJob() { wait(); }
    ExportJob(const ExportJob&) = delete;
    ExportJob& operator=(const ExportJob&) = delete;

    // Runs `work` on a new thread and then `done` (if any) with its result, on that thread; an
    // exception out of the work counts as a failure. False, and nothing started, while a job runs.
    bool start(std::function<bool()> work, std::function<void(bool ok)> done = nullptr);
    // The work has not returned yet.
    bool running() const { return running_; }
    // Waits until the job's thread has ended (at once when none runs).
    void wait();
    // The result of the last job that ended.
    bool result() const { return result_; }

  private:
    std::jthread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> result_{false};
};

}  // namespace quelt
