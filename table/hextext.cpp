#include "table/hextext.h"

namespace {

QByteArray lastHexDigits(std::uint32_t value, int width) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray out(width, '0');
    for (int pos = width - 1; pos >= 0; --pos) {
        out[pos] = Digits[value & 0xFU];
        value >>= 4U;
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

std::int32_t readHex(QByteArrayView text, qsizetype maxDigits) {
    std::int32_t value = 0;
    const qsizetype n = qMin(text.size(), maxDigits);
    for (qsizetype k = 0; k < n; ++k) {
        const int d = hexDigit(text[k]);
        if (d < 0) {
            break;
        }
        value = value * 16 + d;
    }
    return value;
}

} // namespace

QByteArray Hex2(int value) {
    return lastHexDigits(static_cast<std::uint16_t>(value), 2);
}

QByteArray Hex4(std::int32_t value) {
    return lastHexDigits(static_cast<std::uint32_t>(value), 4);
}

std::int32_t HexVal2(QByteArrayView text) {
    return readHex(text, 2);
}

std::int32_t HexVal4(QByteArrayView text) {
    return readHex(text, 4);
}
