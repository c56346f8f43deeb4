// The delivery of the alarms: the mail as a server receives it, and what is sent again when a
// channel fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "collect/AlarmDelivery.h"
#include "store/CollectionLog.h"

namespace qm::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono;

AlarmRecord Raised(std::string station, const char* time) {
    AlarmRecord r;
    r.time = *ParseUtcText(time);
    r.station = std::move(station);
    r.condition = "stale";
    r.event = "raised";
    r.since = r.time - hours(50);
    r.value = 50;
    r.threshold = 48;
    r.mail = false;
    r.command = false;
    return r;
}

TEST(AlarmDeliveryTest, NoLineBreakOfAStationReachesAHeaderAndEachEventHasItsOwnStableMessageId) {
    MailSettings mail;
    mail.from = "Сбор <qm@example.org>";
    mail.to = {"a@x.org", "b@x.org"};
    const AlarmRecord e = Raised("Скважина 7\r\nBcc: spy@evil.org", "2026-12-03T02:00:00Z");
    const std::string m = AlarmMail(e, mail, Language::Russian, e.time);
    const std::string headers = m.substr(0, m.find("\r\n\r\n") + 2);
    std::istringstream lines(headers);
    std::vector<std::string> ids;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.ends_with('\r') && line.find('\r') == line.size() - 1) << line;
        EXPECT_FALSE(line.starts_with("Bcc")) << headers;
        if (line.starts_with("Message-ID: ")) ids.push_back(line.substr(0, line.size() - 1));
    }
    EXPECT_TRUE(headers.starts_with("From: =?UTF-8?B?0KHQsdC+0YA=?= <qm@example.org>\r\n"));
    EXPECT_NE(headers.find("\r\nTo: a@x.org, b@x.org\r\n"), std::string::npos) << headers;
    EXPECT_NE(headers.find("\r\nDate: Thu, 3 Dec 2026 02:00:00 +0000\r\n"), std::string::npos);

    const auto id = [&](const AlarmRecord& r) {
        const std::string text = AlarmMail(r, mail, Language::English, r.time + hours(1));
        const std::size_t at = text.find("Message-ID: ");
        return text.substr(at, text.find('\r', at) - at);
    };
    AlarmRecord cleared = e;
    cleared.event = "cleared";
    EXPECT_EQ(ids, std::vector{id(e)}) << "the same whatever the language and the sending";
    EXPECT_NE(id(e), id(cleared));
    EXPECT_NE(id(e), id(Raised(e.station, "2026-12-04T02:00:00Z")));
}

struct FakeSender : AlarmSender {
    explicit FakeSender(std::string c) : channel(std::move(c)) {}
    std::string_view Channel() const override { return channel; }
    std::optional<std::string> Send(const AlarmRecord& e) override {
        sent.push_back(e.station);
        return fails ? std::optional<std::string>("down") : std::nullopt;
    }
    std::string channel;
    bool fails = false;
    std::vector<std::string> sent;
};

TEST(AlarmDeliveryTest, AFailedChannelIsSaidOnceAndTriedAgainUntilItDeliversEachEventOnce) {
    const fs::path data = fs::temp_directory_path() / "AlarmDeliveryTest";
    fs::remove_all(data);
    fs::create_directories(data);
    for (const char* station : {"A", "B"})
        ASSERT_FALSE(AppendAlarmRecord(data, Raised(station, "2026-12-03T02:00:00Z")));
    Alarms alarms(data);
    FakeSender mail("mail"), command("command");
    mail.fails = true;
    AlarmDelivery delivery({&mail, &command}, Language::English);
    const sys_seconds now = *ParseUtcText("2026-12-03T03:00:00Z");
    using W = std::vector<std::string>;

    EXPECT_EQ(delivery.Deliver(alarms, now).size(), 1u);
    EXPECT_EQ(mail.sent, W{"A"}) << "a dead server is not asked again in the same pass";
    EXPECT_EQ(command.sent, (W{"A", "B"}));
    EXPECT_TRUE(delivery.Deliver(alarms, now).empty()) << "said once";
    mail.fails = false;
    EXPECT_TRUE(delivery.Deliver(alarms, now).empty());
    EXPECT_EQ(mail.sent, (W{"A", "A", "A", "B"}));
    EXPECT_EQ(command.sent, (W{"A", "B"}));
    EXPECT_TRUE(alarms.Undelivered().empty() && Alarms(data).Undelivered().empty());
    fs::remove_all(data);
}

}  // namespace
}  // namespace qm::test
