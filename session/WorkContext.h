#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "session/Session.h"

namespace qm {

// What every operation on the logger shares: the session (the exchange, what is known of the
// logger, its events), its timers and the PC clock. An operation owns its own state and talks to
// another through explicit calls; it never sees a window. What goes wrong is reported as a
// SessionProblem, worded by whoever shows it, in the language it shows.
class WorkContext {
public:
    explicit WorkContext(Session& loggerSession)
        : session(loggerSession),
          x(loggerSession.Link()),
          timers(loggerSession.Timers()),
          clock(loggerSession.Clock()) {}

    Session& session;
    Exchange& x;
    SessionTimers& timers;
    PcClock& clock;

    Reply CurrentReply() const { return x.CurrentReply(); }
    LoggerState& Logger() { return session.MutableLogger(); }

    // Tells every listener of an error the operator can act on, or of a warning.
    void Fail(Msg message, std::initializer_list<std::string_view> args = {},
              std::uint8_t request = 0) {
        Tell(SessionProblem::Severity::Error, message, args, request);
    }
    void Warn(Msg message, std::initializer_list<std::string_view> args = {},
              std::uint8_t request = 0) {
        Tell(SessionProblem::Severity::Warning, message, args, request);
    }

    // Tells every listener of a problem made up whole, on the link in use.
    void Tell(SessionProblem problem) {
        problem.link = Link();
        session.Report([&problem](SessionEvents& e) { e.Problem(problem); });
    }

    LinkKind Link() const {
        if (x.SerialLinkActive) return LinkKind::Serial;
        if (x.LinkDevice != nullptr) return LinkKind::Usb;
        return LinkKind::None;
    }

private:
    void Tell(SessionProblem::Severity severity, Msg message,
              std::initializer_list<std::string_view> args, std::uint8_t request) {
        SessionProblem p{severity, message, {}, request, Link(), {}};
        for (std::string_view a : args) p.args.emplace_back(a);
        Tell(std::move(p));
    }
};

}  // namespace qm
