#pragma once

#include <QChar>
#include <cstdint>

// Key characters travel as Windows-1252 codes on every platform, so a file written on
// one system reads the same on another.

// The Windows-1252 code of c; '?' (63) for a character that has none (and for NUL,
// which would read back as "no character").
std::uint8_t toWindows1252(QChar c);
// The character of a Windows-1252 code. The five unassigned codes map to the C1
// control of the same number, as Windows itself does.
QChar fromWindows1252(std::uint8_t code);
