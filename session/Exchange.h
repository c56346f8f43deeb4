#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "session/ReplyWait.h"

#include "protocol/Links.h"
#include "protocol/PacketBuffer.h"
#include "protocol/Reply.h"
#include "protocol/Requests.h"
#include "protocol/SerialFraming.h"
#include "session/Dispatcher.h"
#include "session/SessionTimers.h"
#include "session/Transaction.h"

namespace qm {

class PcClock;

// The one path requests go out and replies come in, and the active link that carries them: the
// logger's HID device (or its USB modem) or the serial port the operator opened. Requests and
// replies share one packet buffer, as the logger's protocol has it.
//
// Every request is a transaction. The logger answers its requests one by one, in the order they
// came, so a reply that comes while earlier requests are still owed a reply (requests the
// watchdog gave up on) is theirs first:
// - while such replies are owed, a request of another kind is held back until they have come or
//   the line has stayed quiet for as long as one could still take; its reply could be taken
//   for theirs otherwise (a delete's reply for the end of a listing, one block of readings for
//   the next);
// - a request of the same kind (the same request sent again; the line a reopened file gives
//   after the last line copied, which is the line a missed 67 asked for) is sent at once:
//   whichever reply comes first answers it, and an owed reply that comes after is recognised as
//   the same bytes and dropped, so no answer is ever used twice;
// - a reply the awaited request cannot have (its row of the dispatcher table) is dropped.
// How long to wait for a reply is learnt per request code from the round trips (ReplyWait).
class Exchange {
public:
    // What became of a complete reply.
    enum class Verdict {
        Answer,   // the awaited request's answer: dispatch it
        Dropped,  // nothing awaited, or a reply the awaited request cannot have
        Late,     // the reply of a request given up on
    };
    // What the reply watchdog's tick means.
    enum class Tick {
        None,    // nothing awaited
        Quiet,   // the line stayed quiet: the held request has gone out
        Missed,  // the awaited reply did not come in time
    };
    struct Counts {
        long answers = 0;
        long dropped = 0;
        long late = 0;
        long held = 0;
        long resent = 0;
    };

    // Makes `request` the one in flight, sets SendCount and writes it to the active link. A
    // request that is answered becomes the outstanding one and arms the reply watchdog.
    void Send(const Request& request);
    // The same without the watchdog, for a request something else repeats already (the radio
    // modem's once-a-second identification).
    void SendUnwatched(const Request& request);
    // A request of the USB modem adapter itself: always the HID device, whatever link is active.
    void SendToAdapter(const Request& request);

    // The transaction that awaits the replies of the codes whose dispatcher row names `part`.
    void Awaits(dispatch::Part part, Transaction& transaction) {
        awaiters_.at(static_cast<std::size_t>(part)) = &transaction;
    }
    // The transaction awaiting replies to requests of `code`; none for a code no part awaits.
    Transaction* AwaiterOf(std::uint8_t code) const {
        return awaiters_.at(static_cast<std::size_t>(dispatch::For(code).awaiter));
    }
    // Hands the judged reply to the transaction awaiting the request it answers.
    void Deliver();
    // The code of the request whose reply is awaited (or held back to go out), if any.
    std::optional<std::uint8_t> Awaited() const {
        return Outstanding ? std::optional(CurrentCommand) : std::nullopt;
    }
    // Replies are judged as if a request of `code` were in flight, for tests that shake the
    // exchange with replies under any code.
    void InFlightForTest(std::uint8_t code) { CurrentCommand = code; }
    // A reply to the outstanding request has come: nothing is awaited any more.
    void ReplyArrived();
    // Nothing is awaited or owed any more (a new connection, a lost port).
    void ForgetRequest();
    // The reply watchdog: armed by every answered request, stopped by its reply.
    void SetWatchdog(SessionTimer* timer) { watchdog_ = timer; }
    void SetClock(PcClock* clock) { clock_ = clock; }

    // A complete reply is in the packet buffer: whose it is.
    Verdict Judge();
    // The reply watchdog fired.
    Tick WatchdogFired();
    // The awaited request is given up on: its reply, should it still come, is owed; the wait
    // for its code doubles. With `retry`, the next request sent is its retry.
    void Abandon(bool retry = true);
    // Waits `ms` more for the awaited reply (once a request; false if it has had its wait).
    bool ExtendWait(std::int64_t ms);
    // Milliseconds since the request awaited (or the one just answered) first went out, its
    // retries not counted.
    std::int64_t SinceFirstSendMs() const;
    // The wait for a reply to a request of this code now.
    std::int64_t WaitMs(std::uint8_t code) const;
    // The next request's answer is known: these reply bytes (a line asked for again). Any other
    // reply to it is an owed one, so the request need not wait for a quiet line.
    void ExpectAnswer(std::vector<std::uint8_t> reply) { expectNext_ = std::move(reply); }
    // The complete reply in the packet buffer, from its length byte on.
    std::vector<std::uint8_t> ReplyBytes() const;
    // Whether a request is held back until owed replies have come.
    bool Holding() const { return held_.has_value(); }
    // The held request is not sent after all; the replies owed stay owed.
    void DropHeld();
    const Counts& Tally() const { return counts_; }
    // The least wait for a reply: the request's and the reply's time on a line of `baud` (0 for
    // USB) plus room for the logger to turn round (`turnMs`); by default the longest of both.
    static std::int64_t FloorMs(int baud, std::size_t requestBytes = 64,
                                std::size_t replyBytes = kLargestPacket, std::int64_t turnMs = 5);
    // The serial port's rate (the port is always opened at it).
    static constexpr int kSerialBaud = 115200;
    // The least first wait of a code the logger has not answered yet, once the link has
    // answered others.
    static constexpr std::int64_t kFirstOfCodeMs = 1000;
    // Replies at least this long show the line's pace.
    static constexpr std::size_t kPaceFromBytes = 8;
    // A text line for the modem in command mode (HID only); false, and nothing written, when the
    // line cannot fit one output report.
    bool SendText(std::string_view text);

    // Takes one input report in; false when it is not the logger's (another product string).
    bool TakeHidReport(std::string_view productString, std::span<const std::uint8_t> data);
    // Reads what the serial port holds; true when a whole reply has arrived.
    bool TakeSerialBytes(std::size_t bytesWaiting);
    // The bytes that followed the last whole reply in the same read; true when they hold
    // another whole reply.
    bool TakeSurplus();
    Reply CurrentReply() const { return Reply(PacketBuffer, ReceivedCount); }

    // The active link.
    void UseUsb(HidDeviceLink* device);
    void UseSerial(SerialLink* port, const std::string& portName);
    // Closes the serial port if it is open.
    void ClosePort();
    // The HID device's output report length, 0 without one.
    std::size_t OutputReportLength() const;
    void ResetSerialReply() {
        serialReply.Reset();
        surplus_.clear();
    }

    // Every report is a modem text line while set, and goes to the modem dialogue.
    bool TextMode = false;
    bool UsbStarted = false;
    bool SerialLinkActive = false;
    bool PortOpen = false;
    std::uint8_t PortNumber = 0;
    std::string PortName;  // the port as the operator chose it, for messages
    HidDeviceLink* LinkDevice = nullptr;
    SerialLink* serialPort = nullptr;  // ComPort1 once opened

    // A reply is awaited: only then is a received reply dispatched, so noise or a stale reply
    // left in the port is never taken for an answer.
    bool Outstanding = false;
    // The last request sent, for the watchdog to repeat or read back.
    Request LastRequest;
    // Replies missed in a row.
    int MissedReplies = 0;
    int SendCount = 0;
    int HidOutputLength = 0;
    std::size_t ReceivedCount = 0;     // bytes of the current reply at indices 1..
    SerialReplyAssembler serialReply;  // RxCount lives here
    qm::PacketBuffer PacketBuffer{};

private:
    // The code of the request in flight: every reply is read under it.
    std::uint8_t CurrentCommand = 0;
    // A request given up on, and the answer its retry got: its own reply would be the same.
    struct OwedReply {
        std::uint8_t code = 0;
        std::int64_t sentAt = 0;
        std::optional<std::vector<std::uint8_t>> sameAs;
    };
    void Place(const Request& request);
    void Await(bool watched);
    void Transmit(const Request& request, bool toAdapter, bool watched);
    void Release();
    void PresumeLost();
    void NewLink();
    std::int64_t FirstWaitMs() const;
    void Arm(std::int64_t ms);
    std::int64_t Now() const;
    std::int64_t QuietLeftMs() const;
    ReplyWait& WaitFor(std::uint8_t code);
    bool MustWaitForQuiet(std::uint8_t code) const;
    bool Gather(std::span<const std::uint8_t> bytes);
    void NoteLate(const OwedReply& owed, std::int64_t now);
    template <typename F>
    void WriteAwaited(F&& write);
    SessionTimer* watchdog_ = nullptr;
    PcClock* clock_ = nullptr;
    void WritePacket();
    void WriteHidReport();

    std::array<Transaction*, dispatch::kParts> awaiters_{};
    std::deque<OwedReply> owed_;
    // Owed replies given up for lost once the line stayed quiet, until the request sent then
    // has its answer.
    std::deque<OwedReply> presumedLost_;
    // When a miss last left a partial serial reply to be finished.
    std::optional<std::int64_t> partialKeptAt_;
    std::optional<Request> held_;
    std::vector<std::uint8_t> surplus_;
    std::optional<std::vector<std::uint8_t>> expected_, expectNext_;
    bool heldToAdapter_ = false;
    bool retrying_ = false;  // the next request sent is a retry
    bool retried_ = false;   // the awaited request is a retry: its round trip is no sample
    bool extended_ = false;  // the awaited request has had its extra wait
    std::int64_t sentAt_ = 0;
    std::int64_t firstSentAt_ = 0;
    std::int64_t lastTraffic_ = 0;
    std::int64_t lastByteAt_ = -1;   // bytes of a reply last came in
    std::int64_t replyStartAt_ = 0;  // the first byte of the reply being gathered came in
    double byteMs_ = -1;             // a byte's time on the line, as replies showed; -1: unknown
    std::int64_t armedAt_ = 0;       // the watchdog was last armed
    std::int64_t armedForMs_ = 0;    // for how long
    bool pauseWaited_ = false;       // the awaited request has had one more wait after a pause
    std::int64_t retryWaitMs_ = 0;
    std::int64_t armedMs_ = 0;  // what the request awaited was given
    std::int64_t lateMs_ = 0;   // how late replies of requests given up on have come
    ReplyWait link_;
    std::map<std::uint8_t, ReplyWait> waits_;
    int baud_ = 0;
    Counts counts_;
};

}  // namespace qm
