#pragma once

#include <optional>

namespace qm {

class Controller;
class MainWindow;

// The command-line modes that work on copied data, with no logger and no main window:
//   --export FOLDER --csv FILE [--xlsx FILE]   write the table of a data-set folder, no window;
//   --view FOLDER [--screenshot FILE]          open the data viewer on a folder.
// Returns the exit status when the command line asks for one of them, nothing otherwise.
// Messages follow --lang (Russian by default).
std::optional<int> RunDataOptions(int argc, char* argv[]);
bool AsksForDataOptions(int argc, char* argv[]);

// Gives the main window's "Data on disk" entry its viewer of the DATA folder (the entry is
// hidden when the program is built without the viewer).
void AttachDataViewer(MainWindow& window, const Controller& controller);

}  // namespace qm
