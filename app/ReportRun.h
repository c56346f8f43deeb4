#pragma once

namespace qm {

struct Options;

// --report FOLDER --pdf FILE [--from DAY] [--to DAY] [--report-title TEXT]: the monitoring report
// of a data-set folder as PDF, no window and no display needed. Exit status 0 written, 1 nothing
// written (no measurement in the period, the folder or the file cannot be read or written),
// 2 the program was built without the viewer. `argc` and `argv` are Qt's.
int RunReport(int argc, char* argv[], const Options& options);

}  // namespace qm
