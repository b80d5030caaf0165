#include "cli/Interrupt.h"

#include <csignal>

namespace quelt::cli {

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
void onInterrupt(int) {
    g_interrupted = 1;
}
}  // namespace

void catchInterrupts() {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

bool interrupted() {
    return g_interrupted != 0;
}

}  // namespace quelt::cli
