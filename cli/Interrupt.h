#pragma once
// Ctrl-C (SIGINT) and SIGTERM during a command's run: the run stops at its next step, finishes what it
// must (the recording's header, the power-down) and the command ends with kExitInterrupted.

#include <atomic>

namespace quelt::cli {

// From here on SIGINT and SIGTERM set the flag instead of ending the process; with `alsoStop`, they
// also set that (an export's stop flag) until the next call.
void catchInterrupts(std::atomic<bool>* alsoStop = nullptr);
// True once SIGINT or SIGTERM has arrived after catchInterrupts.
bool interrupted();

}  // namespace quelt::cli
