#pragma once

namespace qm {

struct Options;

// Unattended runs of one logger, with no window and no display: the visit a collection makes of
// each of its stations, of a station made of the options.
//   --info                        read the logger out, print it as JSON
//   --copy DIR [--new | --day D]  copy one logger directory into DATA, print a JSON summary
//   --copy-all [--new]            copy every directory, one after another
//   --sync-clock                  set the logger's clock from the PC clock
// each with --port DEVICE or --usb, and --lang, --time-limit (parsed by ParseOptions).

// Runs the mode of `options` (one of those above) and returns the exit status: 0 done, 1 the
// logger answered but the work failed, 2 no logger was reached. `argc` and `argv` are Qt's.
int RunHeadless(int argc, char* argv[], const Options& options);

}  // namespace qm
