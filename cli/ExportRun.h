#pragma once
// The exports of the command line (las, resample, html) run on an ExportJob, as the window runs them,
// while the command waits for it; an interrupt (Ctrl-C) asks the export to stop, and a stopped export
// leaves nothing behind.

#include <atomic>
#include <functional>

namespace quelt::cli {

// Runs `work` to its end with SIGINT and SIGTERM setting `abort`; kExitOk, kExitFailure, or kExitInterrupted
// when an interrupt came during the export.
int runExport(const std::function<bool()>& work, std::atomic<bool>& abort);

}  // namespace quelt::cli
