#include "ui/model/WindowCaptions.h"

#include <string_view>
#include <vector>

#include "ui/model/WindowModel.h"

namespace qm {

namespace {

Control* FindIn(const std::vector<ControlRef>& controls, std::string_view name) {
    for (const ControlRef& r : controls)
        if (r.name == name) return &BaseOf(r.control);
    return nullptr;
}

}  // namespace

void ApplyCaptions(WindowModel& model, Language language) {
    const auto mainControls = model.Controls();
    const auto dialogControls = model.Parameters.Controls();
    for (const CaptionRow& row : kCaptionTable) {
        const std::string_view text = language == Language::English ? row.english : row.russian;
        if (row.owner == CaptionOwner::ParametersDialog && row.control == kParametersTitle) {
            model.Parameters.window.title = text;
            continue;
        }
        Control* c = FindIn(row.owner == CaptionOwner::MainWindow ? mainControls : dialogControls,
                            row.control);
        if (c) c->caption = text;
    }
    model.pmDataOnDisk.caption = DataOnDiskCaption(language);
}

Language SelectedLanguage(const WindowModel& model) {
    return model.pmEng.checked ? Language::English : Language::Russian;
}

}  // namespace qm
