#pragma once

#include <array>
#include <string_view>

#include "text/Language.h"

namespace qm {

// Which window a caption belongs to.
enum class CaptionOwner { MainWindow, ParametersDialog };

// One row of the caption table: a control (by its name) and its text in each language. The name
// "Parameters" stands for the dialog's own title.
struct CaptionRow {
    CaptionOwner owner;
    std::string_view control;
    std::string_view russian;
    std::string_view english;
};

inline constexpr std::string_view kParametersTitle = "Parameters";

// Every caption that follows the language switch, in the order it is assigned. The Russian
// column is not the design text everywhere: after the first switch to Russian a few controls
// show the column's text instead of their design caption (a start shows the design captions).
extern const std::array<CaptionRow, 40> kCaptionTable;

// Run-time texts that follow the language, so that every feature words them from one place.
// The caption before the number of measurements copied, e.g. "Measurements: 12".
std::string_view MeasurementsCaption(Language language);
// The caption shown when a copy found no measurement.
std::string_view NoDataCaption(Language language);
// The question before a directory on the logger is deleted.
std::string_view DeleteConfirmationText(Language language);
// The context-menu item that opens the viewer of the copied data.
std::string_view DataOnDiskCaption(Language language);

}  // namespace qm
