#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "collect/AlarmDelivery.h"
#include "collect/StationsFile.h"
#include "text/Language.h"

namespace qm {

// Whether this build mails alarms (it needs libcurl, which the Windows builds lack).
bool MailAvailable();

// The senders of the plan's alarms: by mail when it has [mail], by its command when [alarms] has
// one. The command runs in the stations file's folder through the system's shell, with the
// alarm as JSON on its standard input; it has delivered the alarm when it exits 0 within a
// minute, and is stopped after that. Once `stopping` holds (the run is asked to stop), a
// delivery under way is cut and none begins: the mail's transfer is broken off, the command is
// killed with what it started; either is not delivered, and goes out at the next run.
std::vector<std::unique_ptr<AlarmSender>> MakeAlarmSenders(const StationsPlan& plan,
                                                           Language language,
                                                           std::function<bool()> stopping = {});

}  // namespace qm
