#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QString>
#include <cstddef>
#include <string>
#include <vector>

#include "text/Language.h"

namespace qm {

// What the runs without a window share: their standard error and JSON texts.

QString Q(const std::string& utf8);
// The texts from `from` on, as a JSON array.
QJsonArray Texts(const std::vector<std::string>& texts, std::size_t from = 0);
bool ErrorIsTerminal();
// Writes `text` as a line of standard error.
void Say(const std::string& text);

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

}  // namespace qm
