#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Texts travel to and from the logger, and into the data files, as single Windows-1251 bytes; the
// screen shows Unicode (UTF-8 inside the program). One fixed table converts, so the result does
// not depend on the platform's code pages.
std::string Cp1251ToUtf8(std::string_view bytes);
// Characters that Windows-1251 cannot carry become the replacement byte.
std::string Utf8ToCp1251(std::string_view utf8, char replacement = '?');
std::optional<std::uint8_t> UnicodeToCp1251(char32_t codePoint);

}  // namespace qm
