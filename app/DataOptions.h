#pragma once

namespace qm {

struct Options;

// The modes that work on copied data, with no logger and no main window (parsed by
// ParseOptions); each returns the exit status. Messages follow --lang (Russian by default).
//   --export FOLDER [--csv FILE] [--xlsx FILE] [--netcdf FILE]  (at least one of them)
//                                              write the data of a data-set folder, no window,
//                                              each file on its own: 0 written, 1 nothing to
//                                              write or a file not written, 2 not built with
//                                              XLSX or NetCDF, 3 written with lines of the data
//                                              files or of the sensor table skipped;
//   --view FOLDER [--screenshot FILE]          open the data viewer on a folder;
//   --summary FOLDER [--from DAY] [--to DAY]   the sensors' health and the borehole's figures
//                                              as JSON: 0 printed, 1 no measurements in the
//                                              period or the folder cannot be read, 3 printed
//                                              and a sensor exceeded its design limit.
// `argc` and `argv` are Qt's.
int RunExport(int argc, char* argv[], const Options& options);
int RunSummary(int argc, char* argv[], const Options& options);
int RunView(int argc, char* argv[], const Options& options);

}  // namespace qm
