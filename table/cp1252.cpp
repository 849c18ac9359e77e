#include "table/cp1252.h"

#include <array>

namespace {

// 0x80..0x9F; the rest of the upper half is Latin-1.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr std::uint8_t Unmappable = '?';

} // namespace

std::uint8_t toWindows1252(QChar c) {
    const char16_t u = c.unicode();
    if (u == 0) {
        return Unmappable;
    }
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<std::uint8_t>(u);
    }
    for (std::size_t k = 0; k < High.size(); ++k) {
        if (High[k] == u) {
            return static_cast<std::uint8_t>(0x80 + k);
        }
    }
    return Unmappable;
}

QChar fromWindows1252(std::uint8_t code) {
    if (code >= 0x80 && code < 0xA0) {
        return QChar(High[code - 0x80]);
    }
    return QChar(static_cast<char16_t>(code));
}
