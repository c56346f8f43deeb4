// The dispatcher table, the one readable map of the protocol. Read top to bottom, the rows of
// codes 0, 60/62, 48, 50/144, 52 and 64/65 are the connection sequence; the comment of each row
// says what its part sends next.
#include "session/Dispatcher.h"

#include "protocol/CommandCode.h"

namespace qm::dispatch {

namespace {

namespace C = CommandCode;
using answers::Shape;
using enum Retry;

constexpr bool kOnce = false, kSame = true;            // repeatable
constexpr bool kAnswered = true, kUnanswered = false;  // answered

// clang-format off
constexpr Row kRows[] = {
    // code                  shape            group                   repeatable answered   on a miss          read back        what did not answer   awaiter
    {C::Identify,            Shape::Identity, C::Identify,            kOnce, kAnswered,   Resend,            0,               Msg::WhatIdentify,    Part::Sequence},    // -> 48 or 60; or 1
    {C::LinkKindQuery,       Shape::OneByte,  C::LinkKindQuery,       kOnce, kAnswered,   ResendToAdapter,   0,               Msg::WhatModem,       Part::Sequence},    // -> 130 (Bluetooth modem)
    {C::PowerDown,           Shape::Any,      C::PowerDown,           kOnce, kUnanswered, Resend,            0,               Msg::WhatModem,       Part::None},        // not answered
    {C::LineValue,           Shape::Any,      C::LineValue,           kOnce, kAnswered,   Resend,            0,               Msg::WhatLineValue,   Part::Sequence},    // -> none
    {C::StartTest,           Shape::Any,      C::StartTest,           kOnce, kAnswered,   Readings,          0,               Msg::WhatTest,        Part::Test},        // -> 68 or 52
    {C::ReadClock,           Shape::Clock,    C::ReadClock,           kOnce, kAnswered,   Resend,            0,               Msg::WhatClock,       Part::Clock},       // -> 144 / 50, or 49
    // Whether the clock took is seen in the reading; a bad one is set again there.
    {C::SetClock,            Shape::Any,      C::SetClock,            kOnce, kAnswered,   ReadBack,          C::ReadClock,    Msg::WhatClock,       Part::Clock},       // -> 48, whatever the status
    {C::ReadSchedule,        Shape::Any,      C::ReadSchedule,        kOnce, kAnswered,   Resend,            0,               Msg::WhatSchedule,    Part::Schedule},    // -> 52 while reading out
    {C::WriteSchedule,       Shape::Any,      C::WriteSchedule,       kOnce, kAnswered,   ReadBack,          C::ReadSchedule, Msg::WhatSchedule,    Part::Schedule},    // -> 50
    {C::ReadBattery,         Shape::OneByte,  C::ReadBattery,         kOnce, kAnswered,   Resend,            0,               Msg::WhatBattery,     Part::Sequence},    // -> 64 and/or 16
    {C::ReadCalibration,     Shape::Any,      C::ReadCalibration,     kOnce, kAnswered,   Resend,            0,               Msg::WhatCalibration, Part::Sequence},    // -> 48 or 62
    {C::WriteCalibration,    Shape::Any,      C::WriteCalibration,    kOnce, kUnanswered, Resend,            0,               Msg::WhatCalibration, Part::None},        // not answered
    {C::ReadCalibrationNext, Shape::Any,      C::ReadCalibrationNext, kOnce, kAnswered,   CalibrationBlocks, 0,               Msg::WhatCalibration, Part::Sequence},    // -> 62 or 48
    {C::ListFirst,           Shape::Listing,  C::ListFirst,           kOnce, kAnswered,   Listing,           0,               Msg::WhatListing,     Part::Catalogue},   // -> 65, or the end of a listing
    {C::ListNext,            Shape::Listing,  C::ListNext,            kOnce, kAnswered,   Listing,           0,               Msg::WhatListing,     Part::Catalogue},   // -> 65, or the end of a listing
    {C::OpenFile,            Shape::Line,     C::OpenFile,            kOnce, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Copy},        // -> 67, 70, 71 or none
    // A line of a file is the same line each time it is asked for at the same place.
    {C::NextLine,            Shape::Line,     C::NextLine,            kSame, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Copy},        // -> 67, 70, 71 or none
    {C::NextReadings,        Shape::Any,      C::NextReadings,        kOnce, kAnswered,   Readings,          0,               Msg::WhatTest,        Part::Test},        // -> 68 or 52
    // The line a reopened file gives after the last line copied is the line a missed 67 asked for.
    {C::ResumeFile,          Shape::Line,     C::NextLine,            kSame, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Copy},        // -> 67, 70, 71 or none
    {C::FindDay,             Shape::Any,      C::FindDay,             kOnce, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Day},         // -> 71 or none
    // The first block of a measurement's values is the same block each time it is asked for; a
    // next block depends on how many were asked before.
    {C::FirstValues,         Shape::Any,      C::FirstValues,         kSame, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Copy},        // -> 67, 72, 66 or none
    {C::NextValues,          Shape::Any,      C::NextValues,          kOnce, kAnswered,   Copy,              0,               Msg::WhatCopy,        Part::Copy},        // -> 67, 72, 66 or none
    {C::DeleteDirectory,     Shape::Any,      C::DeleteDirectory,     kOnce, kAnswered,   Relist,            0,               Msg::WhatDelete,      Part::Catalogue},   // -> 64
    {C::ModemMode,           Shape::Any,      C::ModemMode,           kOnce, kAnswered,   ResendToAdapter,   0,               Msg::WhatModem,       Part::BtModem},     // -> none (timers go on)
    {C::RadioAddress,        Shape::Any,      C::RadioAddress,        kOnce, kAnswered,   Resend,            0,               Msg::WhatModem,       Part::RadioModem},  // -> 0
    {C::ReadRemarks,         Shape::Any,      C::ReadRemarks,         kOnce, kAnswered,   Resend,            0,               Msg::WhatRemarks,     Part::Remarks},     // -> 52 while reading out
    {C::WriteRemarks,        Shape::Any,      C::WriteRemarks,        kOnce, kAnswered,   ReadBack,          C::ReadRemarks,  Msg::WhatRemarks,     Part::Remarks},     // -> none
};
// clang-format on

}  // namespace

Row For(std::uint8_t code) {
    for (const Row& row : kRows)
        if (row.code == code) return row;
    Row modem;
    modem.code = code;
    modem.group = code;
    return modem;
}

}  // namespace qm::dispatch
