#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "protocol/PacketBuffer.h"
#include "protocol/Requests.h"
#include "store/CopyState.h"

namespace qm {

// The directory that the logger keeps for itself; never offered to the operator.
inline constexpr const char* kSystemDirectory = "SYSTEM~1";

// Room for a name in a request that carries it with a 0 byte: the length byte counts the
// status, the code, `extra` further bytes, the name and the 0 byte.
bool NameFitsRequest(const std::string& name, std::size_t extra = 0);

// Builds a request that carries a name and a 0 byte (64 list, 76 delete, 66 open): length =
// name length + 3. Returns the number of bytes to send, or nothing when the name does not fit
// in a request (its length byte).
std::optional<int> BuildNameRequest(PacketBuffer& buffer, std::uint8_t code,
                                    const std::string& name);

// A logger name (Windows-1251 bytes) as a message shows it: in Unicode, in double quotes.
std::string QuotedName(const std::string& nameBytes);

// The local folder of a logger directory: the data folder + the name in Unicode.
std::filesystem::path DataSetFolder(const std::filesystem::path& dataFolder,
                                    const std::string& nameBytes);

}  // namespace qm
