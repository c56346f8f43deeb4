#pragma once

#include <cstdint>

#include "protocol/Reply.h"

namespace qm {

// What can answer a request: the statuses its dispatcher row handles, the length the row reads
// and the shape the reply of that code must have (the dispatcher table gives each code its shape).
// A reply that fails here cannot be the answer to the request awaited; it is dropped and counted,
// never dispatched.
namespace answers {

enum class Shape : std::uint8_t {
    Any,       // nothing beyond a status
    Line,      // statuses 248/249 carry a text: data bytes with no 0 before the terminator
    Listing,   // status 248 carries an entry (a text as above) or, with Data[0] = 0, the end
    Clock,     // status 248 carries six clock bytes
    Identity,  // the device type and the version byte
    OneByte,   // one data byte (battery volts, the modem's kind)
};

struct Answers {
    Shape shape = Shape::Any;
    // Whether `reply` can be the answer to a request of this kind.
    bool Accept(const Reply& reply) const;
};

}  // namespace answers
}  // namespace qm
