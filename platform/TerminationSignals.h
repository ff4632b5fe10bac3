#pragma once

namespace quillet {

// SIGTERM, SIGINT and SIGHUP ask a run to stop, as its Cancel button does without the
// question: the handler only records the signal, the run polls terminationRequested()
// between units of work and cleans up. A second signal of these ends the process at once.
void catchTerminationSignals();
bool terminationRequested();

}  // namespace quillet
