// The request/reply exchange: writing requests to the active link, and taking replies in from
// the HID reader and the serial port.
#include "session/Exchange.h"

#include <algorithm>
#include <array>

#include "link/ModemText.h"
#include "link/SerialPortOpener.h"
#include "protocol/CommandCode.h"
#include "session/Dispatcher.h"
#include "session/PcClock.h"

namespace qm {

void Exchange::Place(const Request& r) {
    CurrentCommand = r.code;
    LastRequest = r;
    std::copy(r.bytes.begin(), r.bytes.end(), PacketBuffer.begin() + packet::kLength);
    SendCount = r.sendCount;
}

void Exchange::Deliver() {
    const std::uint8_t code = CurrentCommand;
    if (Transaction* awaiter = AwaiterOf(code)) awaiter->OnReply(code);
}

std::int64_t Exchange::FloorMs(int baud, std::size_t requestBytes, std::size_t replyBytes,
                               std::int64_t turnMs) {
    // A USB report crosses in a few polls of the bus; the logger's own reads of its memory take
    // tens of milliseconds.
    if (baud <= 0) return 100;
    // The request and the reply, 10 bits a byte, and the logger's turn.
    const auto bits = 10 * static_cast<std::int64_t>(requestBytes + replyBytes);
    return (bits * 1000 + baud - 1) / baud + turnMs;
}

std::int64_t Exchange::Now() const {
    return clock_ ? clock_->SteadyMs() : 0;
}

ReplyWait& Exchange::WaitFor(std::uint8_t code) {
    const auto it = waits_.find(code);
    if (it != waits_.end()) return it->second;
    ReplyWait first = link_;
    first.Raise(FirstWaitMs());
    return waits_.emplace(code, first).first->second;
}

std::int64_t Exchange::FirstWaitMs() const {
    // A request the logger has not answered yet may take it longer than the reads it has (a
    // test measurement, a delete): before the link's first answer, its first wait.
    return link_.Sampled() ? std::max(link_.WaitMs(), kFirstOfCodeMs) : link_.WaitMs();
}

std::int64_t Exchange::WaitMs(std::uint8_t code) const {
    const auto it = waits_.find(code);
    return it != waits_.end() ? it->second.WaitMs() : FirstWaitMs();
}

void Exchange::Arm(std::int64_t ms) {
    armedAt_ = Now();
    armedForMs_ = std::clamp<std::int64_t>(ms, 1, ReplyWait::kCeilingMs);
    if (!watchdog_) return;
    watchdog_->SetInterval(static_cast<int>(armedForMs_));
    watchdog_->Start();
}

void Exchange::Await(bool watched) {
    Outstanding = dispatch::For(CurrentCommand).answered;
    if (!watchdog_) return;
    if (Outstanding && watched) {
        // A retry waits twice as long as the request it replaces waited.
        armedMs_ = retried_ ? retryWaitMs_ : WaitMs(CurrentCommand);
        Arm(armedMs_);
    } else
        watchdog_->Stop();
}

void Exchange::ReplyArrived() {
    Outstanding = false;
    MissedReplies = 0;
    extended_ = false;
    if (watchdog_) watchdog_->Stop();
}

void Exchange::ForgetRequest() {
    Outstanding = false;
    owed_.clear();
    presumedLost_.clear();
    held_.reset();
    expected_.reset();
    expectNext_.reset();
    retrying_ = retried_ = extended_ = false;
    if (watchdog_) watchdog_->Stop();
}

std::int64_t Exchange::QuietLeftMs() const {
    if (owed_.empty()) return 0;
    // Twice the doubled wait of the last request given up on, or twice as long as replies given
    // up on have been seen to take, from the last byte, request or miss.
    const std::int64_t wait = 2 * std::max(retryWaitMs_, lateMs_);
    return lastTraffic_ + std::min(wait, ReplyWait::kCeilingMs) - Now();
}

bool Exchange::MustWaitForQuiet(std::uint8_t code) const {
    for (const OwedReply& owed : owed_) {
        if (dispatch::For(owed.code).group == dispatch::For(code).group) continue;
        // A repeatable reply already answered is known by its bytes when it comes.
        if (owed.sameAs && dispatch::For(owed.code).repeatable) continue;
        return true;
    }
    return false;
}

void Exchange::Transmit(const Request& r, bool toAdapter, bool watched) {
    Place(r);
    const bool answered = dispatch::For(r.code).answered;
    // A request whose answer is known cannot take another's reply for it.
    expected_ = std::move(expectNext_);
    expectNext_.reset();
    if (watched && answered && !expected_ && MustWaitForQuiet(r.code)) {
        const std::int64_t left = QuietLeftMs();
        if (left > 0) {
            held_ = r;
            heldToAdapter_ = toAdapter;
            Outstanding = true;
            ++counts_.held;
            Arm(left);
            return;
        }
        PresumeLost();  // the line has been quiet long enough
    }
    if (retrying_) ++counts_.resent;
    retried_ = retrying_;
    if (!retrying_) {
        firstSentAt_ = Now();
        extended_ = false;
    }
    sentAt_ = lastTraffic_ = Now();
    pauseWaited_ = false;
    // Armed before the write: a reply can come in before the write returns.
    Await(watched);
    retrying_ = false;
    if (toAdapter)
        WriteAwaited([this] { WriteHidReport(); });
    else
        WriteAwaited([this] { WritePacket(); });
}

void Exchange::DropHeld() {
    if (!held_) return;
    held_.reset();
    Outstanding = false;
    if (watchdog_) watchdog_->Stop();
}

void Exchange::Release() {
    const Request r = *held_;
    held_.reset();
    PresumeLost();
    Transmit(r, heldToAdapter_, true);
}

void Exchange::Send(const Request& r) {
    Transmit(r, false, true);
}

void Exchange::SendUnwatched(const Request& r) {
    Transmit(r, false, false);
}

void Exchange::SendToAdapter(const Request& r) {
    Transmit(r, true, true);
}

std::vector<std::uint8_t> Exchange::ReplyBytes() const {
    const Reply r = CurrentReply();
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i <= r.LastIndex(); ++i) bytes.push_back(r.At(i));
    return bytes;
}

void Exchange::NoteLate(const OwedReply& owed, std::int64_t now) {
    // The reply of a request given up on: its code takes at least that long now.
    lateMs_ = std::max(lateMs_, now - owed.sentAt);
    WaitFor(owed.code).AtLeast(now - owed.sentAt);
}

Exchange::Verdict Exchange::Judge() {
    const std::int64_t now = Now();
    lastTraffic_ = now;
    // Replies come in the order their requests went out: those owed come first.
    while (!owed_.empty()) {
        OwedReply& owed = owed_.front();
        if (held_) {
            // Nothing of the held request is on the line yet: the reply is an owed one.
            NoteLate(owed, now);
            owed_.pop_front();
            ++counts_.late;
            if (owed_.empty()) Release();
            return Verdict::Late;
        }
        // An owed reply known by its bytes is ahead of the awaited one on the line, even when
        // the awaited answer is known and the same: the request's own copy comes after it.
        if (!owed.sameAs) break;
        if (*owed.sameAs == ReplyBytes()) {
            NoteLate(owed, now);
            owed_.pop_front();
            ++counts_.late;
            return Verdict::Late;
        }
        owed_.pop_front();  // lost: had it come, it would have come before this one
    }
    if (!Outstanding || !dispatch::For(CurrentCommand).Accepts(CurrentReply())) {
        if (!owed_.empty() && dispatch::For(owed_.front().code).Accepts(CurrentReply())) {
            // It cannot answer the awaited request, and can the oldest owed one.
            NoteLate(owed_.front(), now);
            owed_.pop_front();
            ++counts_.late;
            return Verdict::Late;
        }
        ++counts_.dropped;
        return Verdict::Dropped;
    }
    if (expected_ && ReplyBytes() != *expected_) {
        // Not the answer known in advance: a reply owed to a request given up on.
        if (!owed_.empty()) {
            NoteLate(owed_.front(), now);
            owed_.pop_front();
        }
        ++counts_.late;
        return Verdict::Late;
    }
    if (expected_) {
        // The answer known in advance came: replies owed to requests of another kind would
        // have come before it. Those of the same kind (a reopening asked again) give the same
        // bytes and are known by them below.
        std::erase_if(owed_, [this](const OwedReply& owed) {
            return dispatch::For(owed.code).group != dispatch::For(CurrentCommand).group;
        });
        expected_.reset();
    }
    ReplyWait& wait = WaitFor(CurrentCommand);
    if (!retried_ && owed_.empty()) {
        // Over the serial line the wait is for the reply to start: one that has started is
        // given the time its rest takes on the line (WatchdogFired). Its floor is the request's
        // time on the line, the first byte's, and the slack: the logger's own turn is in the
        // round trips learnt.
        const std::int64_t started = SerialLinkActive ? replyStartAt_ : now;
        if (!wait.Sampled()) wait = link_;  // the first answer replaces the first wait
        wait.SetFloor(FloorMs(baud_, static_cast<std::size_t>(std::max(SendCount, 0)), 1,
                              static_cast<std::int64_t>(ReplyWait::kSlackMs)));
        const std::size_t bytes = CurrentReply().LastIndex();
        if (SerialLinkActive && bytes >= kPaceFromBytes) {
            // The line's pace: how long the reply's bytes took to come after its first.
            const double byteMs =
                static_cast<double>(now - started) / static_cast<double>(bytes - 1);
            byteMs_ = byteMs_ < 0 ? byteMs : 0.875 * byteMs_ + 0.125 * byteMs;
        }
        const double byteMs = std::max(byteMs_, 0.0);
        wait.Sample(started - sentAt_, byteMs);
        link_.Sample(started - sentAt_, byteMs);
        lateMs_ /= 2;  // what was seen of late replies counts for less with every prompt one
    } else {
        // It may answer the first send of the exchange: replies may take that long.
        wait.AtLeast(now - sentAt_);
        lateMs_ = std::max(lateMs_, now - firstSentAt_);
    }
    if (!owed_.empty()) {
        const std::vector<std::uint8_t> bytes = ReplyBytes();
        // Owed requests of the same kind would have had the same answer.
        for (OwedReply& owed : owed_)
            if (!owed.sameAs &&
                dispatch::For(owed.code).group == dispatch::For(CurrentCommand).group)
                owed.sameAs = bytes;
    }
    ++counts_.answers;
    // The request sent after the quiet line has its answer: what was presumed lost was.
    presumedLost_.clear();
    retried_ = false;
    ReplyArrived();
    return Verdict::Answer;
}

Exchange::Tick Exchange::WatchdogFired() {
    if (watchdog_) watchdog_->Stop();
    if (!Outstanding) return Tick::None;
    if (held_) {
        const std::int64_t left = QuietLeftMs();
        if (left > 0 && !owed_.empty()) {
            Arm(left);  // a late reply restarted the quiet time
            return Tick::None;
        }
        Release();
        return Tick::Quiet;
    }
    if (SerialLinkActive && serialReply.RxCount() > 0 && lastByteAt_ >= armedAt_ &&
        Now() - sentAt_ < ReplyWait::kCeilingMs) {
        // A reply is on its way: bytes of it came since the wait was last armed. A line that
        // pauses within a reply (a USB adapter's packets, a busy PC, a radio hop slower than the
        // port) does not make it a miss: the rest is given its time on the line and a few
        // milliseconds, and no less than the reply took to start, as long as it keeps coming,
        // within the longest wait.
        const auto rest = static_cast<std::size_t>(serialReply.Missing());
        Arm(std::max(FloorMs(baud_, 0, rest), WaitMs(CurrentCommand)));
        return Tick::None;
    }
    if (!pauseWaited_ && Now() - armedAt_ >= 2 * armedForMs_) {
        // The tick came a whole wait late: the PC paused, and what was held back with it (a
        // pseudo-terminal's far end, a USB adapter's driver) may not have reached the port yet.
        // The reply is given one wait more, from now, before it is missed.
        pauseWaited_ = true;
        Arm(armedForMs_);
        return Tick::None;
    }
    return Tick::Missed;
}

void Exchange::PresumeLost() {
    presumedLost_.insert(presumedLost_.end(), owed_.begin(), owed_.end());
    owed_.clear();
}

void Exchange::Abandon(bool retry) {
    // The request sent once the line was quiet has had no reply either: the replies presumed
    // lost may only be later still, and stand ahead of its own in the line. They are owed again,
    // so that a request of another kind waits for them (longer each time) instead of taking
    // one of them for its answer.
    if (!presumedLost_.empty()) {
        owed_.insert(owed_.begin(), presumedLost_.begin(), presumedLost_.end());
        presumedLost_.clear();
    }
    // A partial reply that got no byte for the whole wait may still be finished by a line that
    // paused: it is kept over one miss. Still unfinished at the next, it is no reply on its way
    // but a stray byte taken for a length, or the head of a reply whose tail was lost; kept, it
    // would swallow the replies to come and put every one of them out of step.
    if (SerialLinkActive && serialReply.RxCount() > 0) {
        if (partialKeptAt_ && replyStartAt_ <= *partialKeptAt_) {
            serialReply.Reset();
            partialKeptAt_.reset();
        } else {
            partialKeptAt_ = Now();
        }
    }
    if (Outstanding && dispatch::For(CurrentCommand).answered) {
        owed_.push_back({CurrentCommand, sentAt_, std::nullopt});
        // The code's own wait stays doubled until its next sample, as TCP's timer does.
        if (!retried_) WaitFor(CurrentCommand).Backoff();
        retryWaitMs_ = std::min(2 * armedMs_, ReplyWait::kCeilingMs);
        lastTraffic_ = Now();  // a request held from now waits one doubled wait more
    }
    Outstanding = false;
    retrying_ = retry;
    if (watchdog_) watchdog_->Stop();
}

bool Exchange::ExtendWait(std::int64_t ms) {
    if (extended_ || ms <= 0) return false;
    extended_ = true;
    Arm(ms);
    return true;
}

std::int64_t Exchange::SinceFirstSendMs() const {
    return Now() - firstSentAt_;
}

template <typename F>
void Exchange::WriteAwaited(F&& write) {
    // A request that never went out is not awaited: its failure is reported once, as it is.
    try {
        write();
    } catch (...) {
        ForgetRequest();
        throw;
    }
}

bool Exchange::SendText(std::string_view text) {
    if (!LinkDevice) return false;
    if (!modem::TextFitsReport(text.size(), LinkDevice->OutputReportLength())) return false;
    const std::vector<std::uint8_t> b = requests::ModemText(text);
    std::copy(b.begin(), b.end(), PacketBuffer.begin() + packet::kLength);
    WriteHidReport();
    return true;
}

void Exchange::WritePacket() {
    if (SerialLinkActive) {
        if (!serialPort) throw SerialFailed(SerialFailure::NotOpen);
        // The purge drops what is left of an earlier reply: bytes of it gathered so far would
        // otherwise become the head of the next one, and no reply would complete again. While
        // replies are owed it is left out: it would cut one that is on its way in two, and its
        // tail would be read as a reply of its own.
        if (owed_.empty()) {
            serialPort->PurgeBuffers();
            serialReply.Reset();
            surplus_.clear();
        }
        const auto n = static_cast<std::size_t>(std::clamp(SendCount, 0, int(kLargestPacket)));
        serialPort->Write(std::span(PacketBuffer.data(), n));
        return;
    }
    WriteHidReport();
}

void Exchange::WriteHidReport() {
    // One whole output report; the bytes after the packet go out as the buffer holds them.
    if (!LinkDevice) return;
    HidOutputLength = static_cast<int>(LinkDevice->OutputReportLength());
    const auto n =
        std::min<std::size_t>(static_cast<std::size_t>(HidOutputLength), PacketBuffer.size());
    if (n == 0) return;
    PacketBuffer[packet::kLead] = 0;
    LinkDevice->WriteReport(std::span(PacketBuffer.data(), n));
}

bool Exchange::TakeHidReport(std::string_view productString, std::span<const std::uint8_t> data) {
    if (productString != kLoggerProductName) return false;
    const std::size_t n = std::min(data.size(), PacketBuffer.size() - 1);
    std::copy_n(data.begin(), n, PacketBuffer.begin() + 1);
    ReceivedCount = n;
    return true;
}

bool Exchange::TakeSerialBytes(std::size_t bytesWaiting) {
    if (!serialPort) return false;
    std::array<std::uint8_t, SerialReplyAssembler::kMaxRead> rx;
    const std::size_t want = std::min(bytesWaiting, rx.size());
    const std::size_t got = serialPort->Read(std::span(rx.data(), want));
    return Gather(std::span(rx.data(), got));
}

bool Exchange::Gather(std::span<const std::uint8_t> bytes) {
    surplus_.clear();
    if (!bytes.empty()) {
        lastByteAt_ = Now();
        if (serialReply.RxCount() == 0) replyStartAt_ = lastByteAt_;
    }
    if (!Outstanding) {
        // Nothing is awaited: what came is noise or a reply given up on, and must not become the
        // head of the next reply either.
        serialReply.Reset();
        return false;
    }
    if (serialReply.Feed(PacketBuffer, bytes) != SerialReplyAssembler::Result::Complete)
        return false;
    ReceivedCount = serialReply.LastReplySize();
    // Replies owed to requests given up on come one after another: what followed this one in
    // the same read is the next.
    const auto rest = serialReply.Surplus();
    surplus_.assign(rest.begin(), rest.end());
    return true;
}

bool Exchange::TakeSurplus() {
    if (surplus_.empty()) return false;
    const std::vector<std::uint8_t> bytes = std::move(surplus_);
    return Gather(bytes);
}

void Exchange::UseSerial(SerialLink* port, const std::string& portName) {
    serialPort = port;
    PortName = portName;
    baud_ = kSerialBaud;
    NewLink();
    // A reply left in the port by an earlier run is no answer to anything of this one.
    if (port) port->PurgeBuffers();
    serialReply.Reset();
    PortOpen = true;
    SerialLinkActive = true;
}

void Exchange::UseUsb(HidDeviceLink* device) {
    LinkDevice = device;
    baud_ = 0;
    NewLink();
}

void Exchange::NewLink() {
    // Nothing learnt of another link holds for this one.
    link_ = ReplyWait(FloorMs(baud_));
    byteMs_ = -1;
    waits_.clear();
    lateMs_ = 0;
    partialKeptAt_.reset();
}

void Exchange::ClosePort() {
    if (!PortOpen) return;
    if (serialPort) serialPort->Close();
    PortOpen = false;
}

std::size_t Exchange::OutputReportLength() const {
    return LinkDevice ? LinkDevice->OutputReportLength() : 0;
}

}  // namespace qm
