#pragma once

#include <optional>
#include <string>

#include "session/SessionEvents.h"
#include "ui/model/WindowModel.h"

namespace qm {

// The result line of the last copy, where the progress line was: what it copied, how long it
// took and how often it asked again; after Stop or a failure also what it kept and what it
// dropped. It goes when the next copy starts or another logger is read out.
class CopyResultView : public SessionEvents {
public:
    explicit CopyResultView(WindowModel& model) : m_(model) {}

    void CopyBegan() override { Hide(); }
    void ReadOutEnded() override { Hide(); }
    void CopyEnded(const CopyResult& result) override {
        shown_ = result;
        Show();
    }
    // Words the line in the window's language (after a change of language, too).
    void Show();

    // The line's text for a result.
    static std::string Text(const CopyResult& result, Language language);

private:
    void Hide();

    WindowModel& m_;
    std::optional<CopyResult> shown_;
};

}  // namespace qm
