#include "protocol/Answers.h"

#include "protocol/ReplyStatus.h"

namespace qm::answers {

namespace {

// The whole reply is there: its length byte (at least a status) and every byte it announces.
bool Whole(const Reply& r) {
    return r.Length() >= 1 && r.Holds(static_cast<std::size_t>(r.Length()) + 1);
}

// Data bytes up to the last one, which is a terminator: a text has no 0 among them.
bool TerminatedText(const Reply& r) {
    if (!Whole(r) || r.Length() < 2) return false;
    for (std::size_t i = packet::kData; i <= r.Length(); ++i)
        if (r.At(i) == 0) return false;
    return true;
}

bool CarriesText(std::uint8_t status) {
    return status == ReplyStatus::Complete || status == ReplyStatus::Partial;
}

}  // namespace

bool Answers::Accept(const Reply& r) const {
    if (r.Length() < 1 || !r.Holds(packet::kStatus)) return false;
    switch (shape) {
        case Shape::Any:
            return true;
        case Shape::Line:
            return !CarriesText(r.Status()) || TerminatedText(r);
        case Shape::Listing:
            if (r.Status() != ReplyStatus::Complete) return true;  // a refusal
            if (!Whole(r) || r.Length() < 2) return false;
            return r.Data(0) == 0 || TerminatedText(r);
        case Shape::Clock:
            return r.Status() != ReplyStatus::Complete || (Whole(r) && r.Length() >= 7);
        case Shape::Identity:
            return Whole(r) && r.Length() >= 3;
        case Shape::OneByte:
            return Whole(r) && r.Length() >= 2;
    }
    return true;
}

}  // namespace qm::answers
