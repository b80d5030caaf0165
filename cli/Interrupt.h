#pragma once
// Ctrl-C (SIGINT) and SIGTERM during a command's run: the run stops at its next step, finishes what it
// must (the recording's header, the power-down) and the command ends with kExitInterrupted.

namespace quelt::cli {

// From here on SIGINT and SIGTERM set the flag instead of ending the process.
void catchInterrupts();
// True once SIGINT or SIGTERM has arrived after catchInterrupts.
bool interrupted();

}  // namespace quelt::cli
