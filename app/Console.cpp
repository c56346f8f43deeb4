#include "app/Console.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace qm {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QJsonArray Texts(const std::vector<std::string>& texts, std::size_t from) {
    QJsonArray a;
    for (std::size_t i = from; i < texts.size(); ++i) a.append(Q(texts[i]));
    return a;
}

void Say(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool ErrorIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ErrorStream::Line(const std::string& text) {
    ClearProgress();
    std::fprintf(stderr, "qm-controller: %s%s\n", prefix_.c_str(), text.c_str());
    std::fflush(stderr);
}

void ErrorStream::Progress(const std::string& text) {
    if (!terminal_ || text == progress_) return;
    if (progressShown_ && sinceProgress_.isValid() && sinceProgress_.elapsed() < 200) return;
    sinceProgress_.start();
    progress_ = text;
    progressShown_ = true;
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
}

void ErrorStream::ClearProgress() {
    if (!progressShown_) return;
    progressShown_ = false;
    progress_.clear();
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

}  // namespace qm
