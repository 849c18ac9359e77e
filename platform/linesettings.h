#pragma once

#include <chrono>

// How the controller's serial line is set: one place for the program's two backends and
// the stand-in's pseudo-terminal.
struct LineSettings {
    enum class Parity { None, Even, Odd };
    enum class FlowControl { None, Hardware, Software };

    int baudRate = 38400;
    int dataBits = 8;
    Parity parity = Parity::None;
    int stopBits = 1;
    FlowControl flowControl = FlowControl::None;
    bool raiseRts = true; // where the line has an RTS wire

    // A character on the wire: a start bit, its data bits, the parity bit, its stop bits.
    constexpr int characterBits() const {
        return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
    }
    // The time characters take on the line.
    constexpr std::chrono::nanoseconds wireTime(long long characters) const {
        return std::chrono::nanoseconds(characters * characterBits() * 1'000'000'000LL / baudRate);
    }
};

// "38400,N,8,1", RTS raised.
inline constexpr LineSettings ControllerLine{};
