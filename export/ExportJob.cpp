#include "export/ExportJob.h"

#include "config/Diagnostics.h"

namespace quelt {

bool ExportJob::start(std::function<bool()> work, std::function<void(bool ok)> done) {
    if (running_) return false;
    wait();
    running_ = true;
    thread_ = std::jthread([this, work = std::move(work), done = std::move(done)] {
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
            ReportException("ExportJob::start", "ExportJob.cpp", __LINE__);
        }
        result_ = ok;
        running_ = false;
        if (done) done(ok);
    });
    return true;
}

void ExportJob::wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace quelt
