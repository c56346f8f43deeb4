#pragma once

class QCommandLineParser;

namespace qm {

// Unattended runs of the controller, with no window and no display: the same controller and
// links as the window, driven through the window model as an operator would drive them.
//   --info                        read the logger out, print it as JSON
//   --copy DIR [--new | --day D]  copy one logger directory into DATA, print a JSON summary
//   --copy-all [--new]            copy every directory, one after another
//   --sync-clock                  set the logger's clock from the PC clock
// each with --port DEVICE or --usb, and --lang, --time-limit.

// Adds the options of these runs to a parser (the window's help lists them too).
void AddHeadlessOptions(QCommandLineParser& parser);

// The command line asks for one of these runs (or gives one of their options).
bool AsksForHeadlessRun(int argc, char* argv[]);

// Runs it and returns the exit status: 0 done, 1 the logger answered but the work failed, 2 no
// logger was reached (or the command line cannot be used).
int RunHeadless(int argc, char* argv[]);

}  // namespace qm
