#pragma once

#include "app/Options.h"

namespace qm {

// The main window, against a logger on USB or --port, or with --demo against a virtual logger:
// runs Qt's event loop until the window closes; returns the program's exit status.
int RunWindow(int argc, char* argv[], const Options& options);

}  // namespace qm
