#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "core/Services.h"
#include "text/Language.h"

namespace qm {

// What the runs without a window share: their standard error and the operator's services.

QString Q(const std::string& utf8);
// The texts from `from` on, as a JSON array.
QJsonArray Texts(const std::vector<std::string>& texts, std::size_t from = 0);
bool ErrorIsTerminal();

// Standard error: one message a line; on a terminal also a progress line that is written over
// in place and cleared before the next message.
class ErrorStream {
public:
    void Line(const std::string& text);
    // Shows `text` as the progress line, at most a few times a second; nothing when standard
    // error is not a terminal.
    void Progress(const std::string& text);
    void ClearProgress();
    bool Terminal() const { return terminal_; }
    // Put before every message line, e.g. whose work it is; empty for none.
    void SetPrefix(std::string prefix) { prefix_ = std::move(prefix); }

private:
    bool terminal_ = ErrorIsTerminal();
    std::string prefix_;
    bool progressShown_ = false;
    std::string progress_;
    QElapsedTimer sinceProgress_;
};

// The operator's services without a window: warnings and errors go to standard error, every
// confirmation is answered Cancel (none of these runs asks to delete anything), the beep is
// left out, and ending the program ends the run.
class HeadlessServices : public OperatorServices {
public:
    HeadlessServices(ErrorStream& err, std::function<Language()> language)
        : err_(err), language_(std::move(language)) {}

    void ShowWarning(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void Beep() override {}
    bool SeesWindow() const override { return false; }
    void Quit() override;

    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    bool quitRequested = false;
    std::function<void()> onQuit;

private:
    ErrorStream& err_;
    std::function<Language()> language_;
};

}  // namespace qm
