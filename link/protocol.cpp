#include "link/protocol.h"

#include "table/hextext.h"

ControllerImage controllerImage(const CnfTable& cnf) {
    ControllerImage image{};
    for (int slot = 0; slot < LinkSlots; ++slot) {
        for (int f = 0; f < FieldsPerSlot; ++f) {
            image[imageOffset(slot, f)] = cnf[cnfOffset(slot, f)];
        }
    }
    return image;
}

CnfTable tableFromImage(const ControllerImage& image) {
    CnfTable cnf{};
    for (int slot = 0; slot < LinkSlots; ++slot) {
        for (int f = 0; f < FieldsPerSlot; ++f) {
            cnf[cnfOffset(slot, f)] = image[imageOffset(slot, f)];
        }
    }
    return cnf;
}

std::uint8_t FrameChecksum(QByteArrayView codes) {
    unsigned s = 0xA5;
    for (const char c : codes) {
        s = ((s >> 1U) | ((s & 1U) << 7U)) & 0xFFU;
        s = (s + static_cast<std::uint8_t>(c)) & 0xFFU;
    }
    return static_cast<std::uint8_t>(s);
}

std::uint32_t ImageChecksum(const ControllerImage& image) {
    std::uint32_t r = 0xFFFFFFFFU;
    for (const std::uint8_t b : image) {
        r ^= b;
        const bool low = (r & 1U) != 0;
        r >>= 1U;
        if (low) {
            r ^= 0xEFF5A001U;
        }
    }
    return r;
}

QByteArray commandFrame(QByteArrayView command) {
    QByteArray body;
    body.reserve(command.size() + 3);
    body += "00";
    body += command;
    body += ']';
    return '[' + Hex2(FrameChecksum(body)) + body;
}

bool replyChecksumHolds(QByteArrayView reply) {
    const std::int32_t expected = HexVal2(reply.size() > 1 ? reply.sliced(1) : QByteArrayView());
    const std::int32_t computed =
        FrameChecksum(reply.size() > 3 ? reply.sliced(3) : QByteArrayView());
    return expected == computed;
}

QByteArray blockWriteCommand(int block, const ControllerImage& image) {
    QByteArray command = "380" + Hex4(block * BlockBytes) + "3F";
    command.reserve(command.size() + 2 * BlockBytes);
    for (int k = 0; k < BlockBytes; ++k) {
        command += Hex2(image[block * BlockBytes + k]);
    }
    return command;
}

QByteArray blockReadCommand(int block) {
    return "390" + Hex4(block * BlockBytes) + "3F";
}
