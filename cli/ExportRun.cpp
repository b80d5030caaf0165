#include "cli/ExportRun.h"

#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "export/ExportJob.h"

namespace quelt::cli {

int runExport(const std::function<bool()>& work, std::atomic<bool>& abort) {
    catchInterrupts(&abort);
    ExportJob job;
    job.start(work);
    job.wait();
    catchInterrupts();
    if (interrupted()) return kExitInterrupted;
    return job.result() ? kExitOk : kExitFailure;
}

}  // namespace quelt::cli
