#pragma once

// Plain re-statements of the wire rules, written apart from the code under test so a
// fuzz target can hold that code to them.

#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Stops the run with a message; libFuzzer keeps the input that got here.
#define FUZZ_REQUIRE(condition, what)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s) at %s:%d\n", what, #condition,         \
                         __FILE__, __LINE__);                                                      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

namespace reference {

// 0-15, or -1 for anything that is no hex digit.
inline int hexDigit(unsigned char c) {
    static constexpr char Lower[] = "0123456789abcdef";
    static constexpr char Upper[] = "0123456789ABCDEF";
    for (int d = 0; d < 16; ++d) {
        if (c == static_cast<unsigned char>(Lower[d]) ||
            c == static_cast<unsigned char>(Upper[d])) {
            return d;
        }
    }
    return -1;
}

// Up to width leading hex digits of text; 0 when it starts with none.
inline std::int64_t hexValue(QByteArrayView text, int width) {
    std::int64_t value = 0;
    for (qsizetype k = 0; k < text.size() && k < width; ++k) {
        const int d = hexDigit(static_cast<unsigned char>(text[k]));
        if (d < 0) {
            break;
        }
        value = value * 16 + d;
    }
    return value;
}

// The text from index `from` on, or nothing.
inline QByteArrayView tail(QByteArrayView text, qsizetype from) {
    return from < text.size() ? text.sliced(from) : QByteArrayView();
}

// Start at 0xA5; per byte rotate right within eight bits, then add it modulo 256.
inline unsigned frameChecksum(QByteArrayView bytes) {
    unsigned s = 0xA5;
    for (const char c : bytes) {
        const unsigned low = s % 2;
        s = s / 2 + low * 128;
        s = (s + static_cast<unsigned char>(c)) % 256;
    }
    return s;
}

// A reply carries its checksum when characters 2 and 3 are two hex digits whose value is
// the frame checksum of everything from character 4 to the end.
inline bool carriesChecksum(QByteArrayView reply) {
    if (reply.size() < 3) {
        return false;
    }
    const int high = hexDigit(static_cast<unsigned char>(reply[1]));
    const int low = hexDigit(static_cast<unsigned char>(reply[2]));
    if (high < 0 || low < 0) {
        return false;
    }
    return unsigned(high * 16 + low) == frameChecksum(reply.sliced(3));
}

} // namespace reference
