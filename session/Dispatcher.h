#pragma once

#include <cstddef>
#include <cstdint>

#include "protocol/Answers.h"
#include "protocol/Reply.h"
#include "text/Messages.h"

namespace qm {

// The dispatcher table: what each request code is, in one place. Replies carry no code, so each
// is read under the code of the request in flight; its row says what can answer it, which
// replies are interchangeable with its own, whether the logger answers it at all, what a missed
// reply does, and which part of the program awaits the reply.
namespace dispatch {

// What is done again when a request of the kind is not answered, never losing or repeating
// data. Resend, ResendToAdapter and ReadBack need nothing of the operation that awaits the
// reply; the others are its own (Transaction::OnMissed).
enum class Retry : std::uint8_t {
    Resend,             // a read that changes nothing on the logger
    ResendToAdapter,    // a question to the USB adapter or modem itself
    CalibrationBlocks,  // the blocks are numbered by the logger: from the first again
    Listing,            // the listing starts over
    Readings,           // the test measurement's readings start over
    ReadBack,           // a write: what it wrote is read back rather than written again
    Relist,             // a delete: gone or not, the listing shows what is left
    Copy,               // the copy reopens its file after the last complete line
};

// The part of the program that awaits the reply and is told when the request is given up on.
enum class Part : std::uint8_t {
    None,
    Sequence,  // the connection sequence and read-out
    Clock,
    Schedule,
    Remarks,
    Test,       // the test measurement
    Catalogue,  // listing and deleting directories
    Copy,
    Day,  // the copy of one day
    BtModem,
    RadioModem,
};
inline constexpr std::size_t kParts = static_cast<std::size_t>(Part::RadioModem) + 1;

struct Row {
    std::uint8_t code = 0;
    answers::Shape shape = answers::Shape::Any;
    // Replies of codes of one group are interchangeable after a retry.
    std::uint8_t group = 0;
    // Asked again at the same place, the request gets the same bytes.
    bool repeatable = false;
    // The logger answers it (power-down and the calibration write go unanswered).
    bool answered = true;
    Retry retry = Retry::Resend;
    std::uint8_t readBack = 0;  // for Retry::ReadBack
    Msg what = Msg::WhatModem;  // what did not answer, in the operator's words
    Part awaiter = Part::None;

    // Whether `reply` can be the answer to a request of this code.
    bool Accepts(const Reply& reply) const { return answers::Answers{shape}.Accept(reply); }
};

// The row of a code; a code with no row is a modem's: answered, anything, sent again.
Row For(std::uint8_t code);

}  // namespace dispatch
}  // namespace qm
