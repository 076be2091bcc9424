#pragma once
#include "app/cli.h"

namespace ampero {

// Creates the main window and the testing window, runs start-up and the event
// loop until the main window closes. Returns the exit status.
int runGui(const CliOptions& options);

} // namespace ampero
