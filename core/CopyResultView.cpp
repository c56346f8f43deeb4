#include "core/CopyResultView.h"

#include "protocol/Cp1251.h"
#include "session/CopyProgress.h"
#include "ui/model/WindowCaptions.h"

namespace qm {

std::string CopyResultView::Text(const CopyResult& r, Language language) {
    const Msg head = r.end == CopyResult::End::Done      ? Msg::CopyResultDone
                     : r.end == CopyResult::End::Stopped ? Msg::CopyResultStopped
                                                         : Msg::CopyResultFailed;
    std::string text = Message(
        head, language,
        {std::to_string(r.totals.files), std::to_string(r.measurements),
         CopyProgress::DurationText(r.seconds, language), std::to_string(r.totals.retries)});
    if (r.end == CopyResult::End::Done) return text;
    // What it dropped, a line each.
    if (!r.droppedFile.empty())
        text += "\n" + Message(Msg::CopyResultDropped, language, {Cp1251ToUtf8(r.droppedFile)});
    if (r.filesLeft > 0)
        text += "\n" + Message(Msg::CopyResultFilesLeft, language, {std::to_string(r.filesLeft)});
    return text;
}

void CopyResultView::Show() {
    Label& l = m_.lCopyResult;
    if (!shown_) {
        l.visible = false;
        return;
    }
    l.caption = Text(*shown_, SelectedLanguage(m_));
    l.fontColour = shown_->end == CopyResult::End::Done ? Colour::Navy : Colour::Maroon;
    l.visible = true;
}

void CopyResultView::Hide() {
    shown_.reset();
    Show();
}

}  // namespace qm
