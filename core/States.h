#pragma once

#include <cstdint>

namespace qm {

// What the next tick of SysTimer does.
enum class SysTimerAction : std::uint8_t {
    None = 0,
    HideClock = 1,        // the clock label after a second
    HideNoDirectory = 2,  // the "no data" label and the clock label
};

// The Bluetooth modem's mode, the data byte of request 130.
enum class ModemMode : std::uint8_t {
    Detected = 0,     // just found: the first mode step
    Command = 1,      // command mode: reports are text lines
    Transparent = 2,  // packets go through to the logger
};

// Where the dialling of the Bluetooth modem stands.
enum class DialState : std::uint8_t {
    Idle = 0,      // waiting for the modem's ready line
    Dialling = 1,  // calling until CONNECT
};

}  // namespace qm
