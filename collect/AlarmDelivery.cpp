#include "collect/AlarmDelivery.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "store/JsonWriter.h"
#include "text/Messages.h"

namespace qm {

using namespace std::chrono;

namespace {

constexpr std::string_view kCrLf = "\r\n";

// Every control character (line breaks too) as a space: a text that may go into a header.
std::string Flat(std::string_view text) {
    std::string flat(text);
    for (char& c : flat)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return flat;
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// A header's UTF-8 text as encoded words of at most 75 characters, folded between them; no
// character is split between two words.
std::string EncodedWords(std::string_view text) {
    constexpr std::size_t kBytesPerWord = 45;  // 60 characters of base64
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.size(), start + kBytesPerWord);
        while (end < text.size() && end > start + 1 &&
               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        if (!out.empty()) out += std::string(kCrLf) + " ";
        out += "=?UTF-8?B?" + Base64(text.substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

// An address as a header gives it: a display name with letters beyond ASCII ("Сбор <qm@x.org>")
// as encoded words.
std::string AddressHeader(std::string_view address) {
    std::string flat = Flat(address);
    const std::size_t open = flat.rfind('<');
    if (open == std::string::npos ||
        std::all_of(flat.begin(), flat.begin() + static_cast<std::ptrdiff_t>(open),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return flat;
    std::string name = flat.substr(0, open);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return EncodedWords(name) + " " + flat.substr(open);
}

// The date as a mail's Date header writes it, in UTC.
std::string MailDate(sys_seconds time) {
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto day = floor<days>(time);
    const year_month_day ymd{day};
    const hh_mm_ss hms{time - day};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %u %s %d %02d:%02d:%02d +0000",
                  kDays[weekday{day}.c_encoding()], static_cast<unsigned>(ymd.day()),
                  kMonths[static_cast<unsigned>(ymd.month()) - 1], static_cast<int>(ymd.year()),
                  static_cast<int>(hms.hours().count()), static_cast<int>(hms.minutes().count()),
                  static_cast<int>(hms.seconds().count()));
    return text;
}

std::uint64_t Fnv1a(std::string_view bytes, std::uint64_t hash) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// The same for every sending of one event, and another for every other event.
std::string MessageId(const AlarmRecord& e) {
    std::string key = e.station;
    for (const std::string& part : {e.condition, e.event, UtcText(e.time)}) {
        key += '\0';
        key += part;
    }
    char text[64];
    std::snprintf(text, sizeof text, "<%016llx%016llx@qm-controller>",
                  static_cast<unsigned long long>(Fnv1a(key, 0xcbf29ce484222325ULL)),
                  static_cast<unsigned long long>(Fnv1a(key, 0x84222325cbf29ce4ULL)));
    return text;
}

Msg ChannelWord(std::string_view channel) {
    return channel == "mail" ? Msg::AlarmByMail : Msg::AlarmByCommand;
}

}  // namespace

bool Owed(const AlarmRecord& event, std::string_view channel) {
    if (channel == "mail") return event.mail == false;
    if (channel == "command") return event.command == false;
    return false;
}

std::string AlarmEventText(const AlarmRecord& e, Language language) {
    AlarmFinding f;
    f.condition = AlarmConditionOfWord(e.condition).value_or(AlarmCondition::Stale);
    f.holds = e.event != "cleared";
    f.since = e.since;
    f.value = e.value;
    f.threshold = e.threshold;
    f.detail = e.detail;
    const Msg id = e.event == "cleared"    ? Msg::AlarmCleared
                   : e.event == "repeated" ? Msg::AlarmRepeated
                                           : Msg::AlarmRaised;
    return Message(id, language, {AlarmText(f, language), UtcText(e.since.value_or(e.time))});
}

std::string AlarmCommandInput(const AlarmRecord& event, Language language) {
    // As the event's line of the log has it, whichever channel has delivered it since.
    AlarmRecord line = event;
    if (line.mail) line.mail = false;
    if (line.command) line.command = false;
    std::string json = AlarmRecordJson(line);
    json.pop_back();  // the closing brace
    json += ", \"text\": ";
    AppendJsonString(json, AlarmEventText(event, language));
    json += "}\n";
    return json;
}

std::string EnvelopeAddress(std::string_view address) {
    const std::size_t open = address.rfind('<');
    const std::size_t close = address.rfind('>');
    if (open != std::string_view::npos && close != std::string_view::npos && open < close)
        address = address.substr(open + 1, close - open - 1);
    return "<" + Flat(address) + ">";
}

std::string AlarmMail(const AlarmRecord& e, const MailSettings& mail, Language language,
                      sys_seconds date) {
    const std::string station = Flat(e.station);
    const std::string what = AlarmEventText(e, language);
    std::string to;
    for (const std::string& address : mail.to) {
        if (!to.empty()) to += ", ";
        to += AddressHeader(address);
    }
    std::string body;
    for (const std::string& line : {Message(Msg::MailStation, language, {station}), Flat(what),
                                    Message(Msg::MailEventTime, language, {UtcText(e.time)})})
        body += line + std::string(kCrLf);

    std::string m;
    const auto header = [&m](std::string_view name, const std::string& value) {
        m += std::string(name) + ": " + value + std::string(kCrLf);
    };
    header("From", AddressHeader(mail.from));
    header("To", to);
    header("Subject", EncodedWords(station + ": " + Flat(what)));
    header("Date", MailDate(date));
    header("Message-ID", MessageId(e));
    header("MIME-Version", "1.0");
    header("Content-Type", "text/plain; charset=UTF-8");
    header("Content-Transfer-Encoding", "base64");
    m += kCrLf;
    const std::string encoded = Base64(body);
    for (std::size_t i = 0; i < encoded.size(); i += 76)
        m += encoded.substr(i, 76) + std::string(kCrLf);
    return m;
}

std::vector<std::string> AlarmDelivery::Deliver(Alarms& alarms, sys_seconds now) {
    std::vector<std::string> say;
    for (AlarmSender* sender : senders_) {
        const std::string channel(sender->Channel());
        // A copy: each delivery logged takes its event out of the list.
        const std::vector<AlarmRecord> owed = alarms.Undelivered();
        for (const AlarmRecord& event : owed) {
            if (!Owed(event, channel)) continue;
            if (const auto why = sender->Send(event)) {
                if (said_.insert({event.station, event.condition, event.time, channel}).second)
                    say.push_back(Message(Msg::AlarmNotDelivered, language_,
                                          {event.station, AlarmEventText(event, language_),
                                           Message(ChannelWord(channel), language_), *why}));
                break;
            }
            if (const auto error = alarms.Delivered(event, channel, now))
                if (said_.insert({event.station, event.condition, event.time, channel}).second)
                    say.push_back(error->Text(language_));
        }
    }
    return say;
}

}  // namespace qm
