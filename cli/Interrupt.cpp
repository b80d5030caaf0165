#include "cli/Interrupt.h"

#include <csignal>

namespace quelt::cli {

namespace {
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
volatile std::sig_atomic_t g_interrupted = 0;
std::atomic<std::atomic<bool>*> g_alsoStop{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "read from a signal handler");

extern "C" void onInterrupt(int) {
    g_interrupted = 1;
    if (std::atomic<bool>* stop = g_alsoStop.load()) stop->store(true);
}
}  // namespace

void catchInterrupts(std::atomic<bool>* alsoStop) {
    g_alsoStop.store(alsoStop);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool interrupted() {
    return g_interrupted != 0;
}

}  // namespace quelt::cli
