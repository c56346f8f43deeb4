#include "app/AlarmSenders.h"

#include <QProcess>
#include <QString>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "store/LocalFiles.h"
#include "text/Messages.h"

#ifdef QMC_WITH_MAIL
#include <curl/curl.h>
#endif
#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace qm {

namespace {

// How long a command may take, and a mail server to answer and to take the whole mail: a
// dead server or a hung command never holds the collection for long, and is said.
constexpr int kCommandSeconds = 60;
constexpr long kMailConnectSeconds = 20;
constexpr long kMailSeconds = 60;
// How often a command that runs is looked at for a stop.
constexpr int kCommandLookMs = 100;

// Whether the run is asked to stop: a delivery is then cut, and said so.
bool Stopping(const std::function<bool()>& stopping) {
    return stopping && stopping();
}

class CommandSender : public AlarmSender {
public:
    CommandSender(std::string command, std::filesystem::path folder, Language language,
                  std::function<bool()> stopping)
        : command_(std::move(command)),
          folder_(std::move(folder)),
          language_(language),
          stopping_(std::move(stopping)) {}
    std::string_view Channel() const override { return "command"; }

    std::optional<std::string> Send(const AlarmRecord& event) override {
        if (Stopping(stopping_)) return Message(Msg::ServeStopped, language_);
        QProcess p;
        p.setWorkingDirectory(QString::fromStdU16String(folder_.u16string()));
        // Its output would mix with the run's JSON; what it says on standard error is shown.
        p.setStandardOutputFile(QProcess::nullDevice());
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_WIN
        p.setProgram("cmd.exe");
        p.setNativeArguments("/c " + QString::fromStdString(command_));
#else
        p.setProgram("/bin/sh");
        p.setArguments({"-c", QString::fromStdString(command_)});
        // A group of its own, so that a command stopped takes what it started with it.
        p.setChildProcessModifier([] { ::setpgid(0, 0); });
#endif
        p.start();
        if (!p.waitForStarted(kCommandSeconds * 1000))
            return Message(Msg::CommandNotStarted, language_, {p.errorString().toStdString()});
        const std::string input = AlarmCommandInput(event, language_);
        p.write(input.data(), static_cast<qint64>(input.size()));
        p.closeWriteChannel();
        // Waited for in short steps, so that a stop is heard while it runs.
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::seconds(kCommandSeconds);
        bool finished = false;
        while (!(finished = p.waitForFinished(kCommandLookMs)) && !Stopping(stopping_) &&
               p.state() != QProcess::NotRunning && std::chrono::steady_clock::now() < deadline) {
        }
        if (!finished && p.state() != QProcess::NotRunning) {
#ifdef Q_OS_UNIX
            if (p.processId() > 0) ::kill(-static_cast<pid_t>(p.processId()), SIGKILL);
#endif
            p.kill();
            p.waitForFinished(5000);
            if (Stopping(stopping_)) return Message(Msg::ServeStopped, language_);
            return Message(Msg::CommandTimedOut, language_, {std::to_string(kCommandSeconds)});
        }
        if (p.exitStatus() != QProcess::NormalExit) return Message(Msg::CommandCrashed, language_);
        if (p.exitCode() != 0)
            return Message(Msg::CommandExited, language_, {std::to_string(p.exitCode())});
        return std::nullopt;
    }

private:
    std::string command_;
    std::filesystem::path folder_;
    Language language_;
    std::function<bool()> stopping_;
};

#ifdef QMC_WITH_MAIL
class MailSender : public AlarmSender {
public:
    MailSender(MailSettings mail, Language language, std::function<bool()> stopping)
        : mail_(std::move(mail)), language_(language), stopping_(std::move(stopping)) {}
    std::string_view Channel() const override { return "mail"; }

    std::optional<std::string> Send(const AlarmRecord& event) override {
        if (Stopping(stopping_)) return Message(Msg::ServeStopped, language_);
        std::string password;
        if (mail_.passwordFile) {
            try {
                const std::string text = ReadWholeFile(*mail_.passwordFile);
                password = text.substr(0, text.find_first_of("\r\n"));
            } catch (const FileError& e) {
                return e.Text(language_);
            }
        }
        const auto now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
        Upload upload{AlarmMail(event, mail_, language_, now), 0};

        CURL* curl = curl_easy_init();
        if (!curl) return Message(Msg::MailFailed, language_, {"curl_easy_init"});
        char error[CURL_ERROR_SIZE] = {};
        std::string host = mail_.server;
        if (host.find(':') != std::string::npos && host.front() != '[') host = "[" + host + "]";
        const std::string url = "smtp://" + host + ":" + std::to_string(mail_.port);
        const std::string from = EnvelopeAddress(mail_.from);
        curl_slist* rcpt = nullptr;
        for (const std::string& to : mail_.to)
            rcpt = curl_slist_append(rcpt, EnvelopeAddress(to).c_str());
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kMailConnectSeconds);
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, kMailSeconds);
        if (mail_.starttls)
            curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        if (mail_.user) {
            curl_easy_setopt(curl, CURLOPT_USERNAME, mail_.user->c_str());
            curl_easy_setopt(curl, CURLOPT_PASSWORD, password.c_str());
        }
        curl_easy_setopt(curl, CURLOPT_MAIL_FROM, from.c_str());
        curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
        curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Upload::Read);
        curl_easy_setopt(curl, CURLOPT_READDATA, &upload);
        curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
        // Called about once a second while the transfer lasts, idle or not: a stop breaks it off.
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &MailSender::Progress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
        const CURLcode result = curl_easy_perform(curl);
        curl_slist_free_all(rcpt);
        curl_easy_cleanup(curl);
        if (result == CURLE_OK) return std::nullopt;
        if (result == CURLE_ABORTED_BY_CALLBACK) return Message(Msg::ServeStopped, language_);
        return Message(Msg::MailFailed, language_,
                       {error[0] ? std::string(error) : std::string(curl_easy_strerror(result))});
    }

private:
    struct Upload {
        std::string text;
        std::size_t sent = 0;
        static std::size_t Read(char* buffer, std::size_t size, std::size_t count, void* self) {
            auto* u = static_cast<Upload*>(self);
            const std::size_t n = std::min(size * count, u->text.size() - u->sent);
            u->text.copy(buffer, n, u->sent);
            u->sent += n;
            return n;
        }
    };

    static int Progress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        return Stopping(static_cast<MailSender*>(self)->stopping_) ? 1 : 0;
    }

    MailSettings mail_;
    Language language_;
    std::function<bool()> stopping_;
};
#endif

}  // namespace

bool MailAvailable() {
#ifdef QMC_WITH_MAIL
    return true;
#else
    return false;
#endif
}

std::vector<std::unique_ptr<AlarmSender>> MakeAlarmSenders(const StationsPlan& plan,
                                                           Language language,
                                                           std::function<bool()> stopping) {
    std::vector<std::unique_ptr<AlarmSender>> senders;
#ifdef QMC_WITH_MAIL
    if (plan.mail) senders.push_back(std::make_unique<MailSender>(*plan.mail, language, stopping));
#endif
    if (plan.alarms.command)
        senders.push_back(std::make_unique<CommandSender>(
            *plan.alarms.command, plan.file.parent_path(), language, std::move(stopping)));
    return senders;
}

}  // namespace qm
