// One discovery run: open the socket, join and probe, listen, print, and decide the exit code.
#pragma once

#include "options.h"
#include "output.h"

namespace discover {

enum ExitCode : int { kFound = 0, kNoneFound = 1, kCannotRun = 2 };

// Runs discovery as `options` say and prints every device through `printer`. Errors that stop it are
// reported on standard error. The exit code.
int run_discovery(const Options& options, Printer& printer);

}  // namespace discover
