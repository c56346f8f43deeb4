#pragma once

#include <chrono>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "collect/Alarms.h"
#include "collect/StationsFile.h"
#include "store/CollectionLog.h"
#include "text/Language.h"

namespace qm {

// The delivery of a collection's alarms: every event of the alarm log goes out by each channel
// the plan names (mail, the operator's command) until that channel has delivered it. A delivery
// that fails is kept and tried again at the next pass, so an alarm is sent at least once; one that
// went out but could not be logged is sent again (the mail's Message-ID lets a mail system drop
// the second).

// One way an alarm reaches the operator.
class AlarmSender {
public:
    virtual ~AlarmSender() = default;
    // "mail" or "command", as the alarm log names the channel.
    virtual std::string_view Channel() const = 0;
    // Delivers the event; why it could not, in the operator's words.
    virtual std::optional<std::string> Send(const AlarmRecord& event) = 0;
};

class AlarmDelivery {
public:
    AlarmDelivery(std::vector<AlarmSender*> senders, Language language)
        : senders_(std::move(senders)), language_(language) {}

    // Sends every event of `alarms` still owed by each sender's channel, logging each delivery
    // with Alarms::Delivered at `now`. Returns what is worth saying: a failure is said once per
    // event and channel. A channel that fails is not tried again in the same pass (a dead server
    // costs its timeout once, not once per event).
    std::vector<std::string> Deliver(Alarms& alarms, std::chrono::sys_seconds now);

private:
    using Said = std::tuple<std::string, std::string, std::chrono::sys_seconds, std::string>;
    std::vector<AlarmSender*> senders_;
    Language language_;
    std::set<Said> said_;
};

// Whether the event still waits for `channel`.
bool Owed(const AlarmRecord& event, std::string_view channel);

// The event in the operator's words: raised, still holding or cleared, the condition with its
// figures, and since when.
std::string AlarmEventText(const AlarmRecord& event, Language language);

// The alarm as the command reads it on its standard input: the alarm log's line with the event
// in the operator's words as "text".
std::string AlarmCommandInput(const AlarmRecord& event, Language language);

// The whole mail of an event (headers and body, lines ended by CR LF), dated `date`. Nothing from
// the stations file or the logger reaches a header as it is: the subject is an encoded word, and
// the addresses lose every control character.
std::string AlarmMail(const AlarmRecord& event, const MailSettings& mail, Language language,
                      std::chrono::sys_seconds date);

// An address of the envelope (MAIL FROM, RCPT TO) for an address as the stations file gives it:
// "name <a@b>" or "a@b" become "<a@b>".
std::string EnvelopeAddress(std::string_view address);

}  // namespace qm
