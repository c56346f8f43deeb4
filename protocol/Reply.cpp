#include "protocol/Reply.h"

#include <algorithm>

namespace qm {

std::size_t Reply::LastIndex() const {
    return std::min<std::size_t>(static_cast<std::size_t>(Length()) + 1, received_);
}

std::string Reply::Bytes(std::size_t first, std::size_t last) const {
    std::string out;
    last = std::min(last, LastIndex());
    for (std::size_t i = first; i <= last; ++i) out += static_cast<char>(buf_[i]);
    return out;
}

std::string Reply::Text() const {
    if (Length() < 3) return {};
    return Bytes(packet::kData, Length());
}

}  // namespace qm
