#pragma once

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
// minute, and is stopped after that.
std::vector<std::unique_ptr<AlarmSender>> MakeAlarmSenders(const StationsPlan& plan,
                                                           Language language);

}  // namespace qm
