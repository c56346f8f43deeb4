#include "core/BatteryView.h"

#include <cmath>
#include <string>

#include "text/Messages.h"

namespace qm {

void ShowBattery(WindowModel& model, double volts, Language language) {
    model.GroupBox3.visible = true;
    // The reply carries tenths of a volt; compare in tenths so 6.0 and 4.5 fall exactly.
    const long tenths = std::lround(volts * 10.0);
    if (tenths >= 60) {
        model.Shape1.brush = Colour::Lime;
        model.Shape1.pen = Colour::Green;
    } else if (tenths >= 45) {
        model.Shape1.brush = Colour::Yellow;
        model.Shape1.pen = Colour::Olive;
    } else {
        model.Shape1.brush = Colour::Red;
        model.Shape1.pen = Colour::Maroon;
    }
    // One decimal with a point whatever the locale of the PC: "5.3В", "12.0В".
    model.Shape1.showHint = true;
    const std::string value = std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
    model.Shape1.hint = Message(Msg::BatteryVolts, language, {value});
}

}  // namespace qm
