#pragma once

#include "text/Language.h"
#include "ui/model/WindowModel.h"

namespace qm {

// Shows the battery indicator from the first battery reply on: the shape's colours follow the
// voltage band and its hint shows the voltage in the operator's language, "5.3В" or "5.3V".
void ShowBattery(WindowModel& model, double volts, Language language);

}  // namespace qm
