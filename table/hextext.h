#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

// Fixed-width upper-case hexadecimal text, as the controller's frames carry it.

// Last two digits of the 16-bit two's-complement value (256 -> "00", -1 -> "FF").
QByteArray Hex2(int value);
// Last four digits of the 32-bit two's-complement value (-1 -> "FFFF").
QByteArray Hex4(std::int32_t value);
// The first two (four) characters read as hex, either case, stopping at the first
// character that is not a hex digit; 0 when there is none.
std::int32_t HexVal2(QByteArrayView text);
std::int32_t HexVal4(QByteArrayView text);
