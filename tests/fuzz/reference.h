#pragma once

// The wire rules restated apart from the code under test, for the fuzz targets.

#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Stops the run with a message; libFuzzer keeps the input that got here.
#define FUZZ_REQUIRE(condition, what)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s at %s:%d\n", what, __FILE__, __LINE__);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace reference {

// 0-15, or -1 for anything that is no hex digit.
inline int hexDigit(char c) {
    const int lower = c | 0x20; // 'A'-'F' and only they fold onto 'a'-'f'
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// Up to width leading hex digits of text from index `from` on; 0 when there are none.
inline std::int64_t hexValue(QByteArrayView text, int width, qsizetype from = 0) {
    std::int64_t value = 0;
    for (qsizetype k = from; k < text.size() && k < from + width && hexDigit(text[k]) >= 0; ++k) {
        value = value * 16 + hexDigit(text[k]);
    }
    return value;
}

// Start at 0xA5; per byte rotate right within eight bits, then add it modulo 256.
inline unsigned frameChecksum(QByteArrayView bytes) {
    unsigned s = 0xA5;
    for (const char c : bytes) {
        s = ((s >> 1U) | ((s & 1U) << 7U)) + static_cast<unsigned char>(c);
        s %= 256;
    }
    return s;
}

// Characters 2 and 3 are two hex digits whose value is the frame checksum of the rest.
inline bool carriesChecksum(QByteArrayView reply) {
    return reply.size() >= 3 && hexDigit(reply[1]) >= 0 && hexDigit(reply[2]) >= 0 &&
           hexValue(reply, 2, 1) == frameChecksum(reply.sliced(3));
}

} // namespace reference
