#include "cli/ExportRun.h"

#include <csignal>

#include "cli/Command.h"
#include "export/ExportJob.h"

namespace quelt::cli {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
std::atomic<bool>* g_abort = nullptr;
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onExportInterrupt(int) {
    g_interrupted = 1;
    if (g_abort) g_abort->store(true);
}

}  // namespace

int runExport(const std::function<bool()>& work, std::atomic<bool>& abort) {
    g_interrupted = 0;
    g_abort = &abort;
    auto previous = std::signal(SIGINT, onExportInterrupt);
    ExportJob job;
    job.start(work);
    job.wait();
    std::signal(SIGINT, previous);
    g_abort = nullptr;
    if (g_interrupted) return kExitInterrupted;
    return job.result() ? kExitOk : kExitFailure;
}

}  // namespace quelt::cli
