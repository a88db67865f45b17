#pragma once
// A start with a command for the running copy (plimbury --next, --pause, ...):
// no window, no display needed. The command goes to the running copy through
// the single-instance channel and its answer is printed; --status and --help
// are answered here.

#include "rotation/Control.h"

// Prints the answer (standard output, or standard error with "plimbury: "
// before an error) and returns the exit status: 0 done, 1 an error or no
// running copy.
int runControlCommand(int& argc, char** argv, plimbury::ControlCommand command);
