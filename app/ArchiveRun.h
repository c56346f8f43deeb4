#pragma once

#include "app/Options.h"

namespace qm {

// --archive-sync FOLDER|STATIONS: pushes what the archive lacks of the data sets, prints
// {"rowsSent", "rowsNew", "seconds"}; 0 pushed, 1 the server failed, 2 bad options or file.
int RunArchiveSync(const Options& options);
// --archive-init URL: makes the archive's schema; 0 made (or there), 1 the server failed, 2 a
// URL that cannot be used.
int RunArchiveInit(const Options& options);

}  // namespace qm
