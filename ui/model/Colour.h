#pragma once

#include <cstdint>

namespace qm {

// Colours as the window design gives them: 0x00BBGGRR (blue in the high byte).
enum class Colour : std::uint32_t {
    Black = 0x000000,
    Navy = 0x800000,
    Red = 0x0000FF,
    Maroon = 0x000080,
    Lime = 0x00FF00,
    Green = 0x008000,
    Yellow = 0x00FFFF,
    Olive = 0x008080,
    Blue = 0xFF0000,
    LightYellow = 0x80FFFF,
    WindowText = 0x000000,
};

constexpr std::uint8_t RedOf(Colour c) {
    return static_cast<std::uint32_t>(c) & 0xFF;
}
constexpr std::uint8_t GreenOf(Colour c) {
    return (static_cast<std::uint32_t>(c) >> 8) & 0xFF;
}
constexpr std::uint8_t BlueOf(Colour c) {
    return (static_cast<std::uint32_t>(c) >> 16) & 0xFF;
}

}  // namespace qm
