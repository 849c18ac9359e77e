#include "link/protocol.h"

#include "table/hextext.h"

#include <algorithm>

namespace {

bool isHexText(QByteArrayView text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}

// The block number of a four-digit offset, or -1 when it does not start a block.
int blockAt(QByteArrayView offsetDigits) {
    if (!isHexText(offsetDigits)) {
        return -1;
    }
    const std::int32_t offset = HexVal4(offsetDigits);
    if (offset % BlockBytes != 0 || offset / BlockBytes >= ImageBlocks) {
        return -1;
    }
    return offset / BlockBytes;
}

} // namespace

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

QString controllerChecksumText(const CnfTable& cnf) {
    const std::uint32_t sum = ImageChecksum(controllerImage(withKeysRepacked(cnf)));
    return QString::fromLatin1(Hex4(std::int32_t(sum >> 16U)) + ' ' +
                               Hex4(std::int32_t(sum & 0xFFFFU)));
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
    // Read leniently, a field like ">3" would count as 0 and pass whenever the body sums
    // to it: line noise must not stand in for a checksum.
    if (reply.size() < 3 || !isHexText(reply.sliced(1, 2))) {
        return false;
    }
    return HexVal2(reply.sliced(1)) == FrameChecksum(reply.sliced(3));
}

QByteArray blockHex(const ControllerImage& image, int block) {
    QByteArray digits;
    digits.reserve(qsizetype{2} * BlockBytes);
    for (int k = 0; k < BlockBytes; ++k) {
        digits += Hex2(image[block * BlockBytes + k]);
    }
    return digits;
}

QByteArray blockWriteCommand(int block, const ControllerImage& image) {
    return "380" + Hex4(block * BlockBytes) + "3F" + blockHex(image, block);
}

qsizetype downloadCharacters() {
    qsizetype characters = commandFrame(ChecksumCommand).size() + ChecksumReplyLength;
    for (int block = 0; block < ImageBlocks; ++block) {
        characters += commandFrame(blockWriteCommand(block, ControllerImage{})).size() +
                      BlockWriteReplyLength;
    }
    return characters;
}

qsizetype uploadCharacters() {
    qsizetype characters = commandFrame(ChecksumCommand).size() + ChecksumReplyLength;
    for (int block = 0; block < ImageBlocks; ++block) {
        characters += commandFrame(blockReadCommand(block)).size() + BlockReadReplyLength;
    }
    return characters;
}

QByteArray blockReadCommand(int block) {
    return "390" + Hex4(block * BlockBytes) + "3F";
}

QByteArray replyFrame(QByteArrayView body) {
    QByteArray rest;
    rest.reserve(body.size() + 1);
    rest += body;
    rest += ']';
    return '[' + Hex2(FrameChecksum(rest)) + rest;
}

ReceivedCommand parseCommandFrame(QByteArrayView frame) {
    ReceivedCommand result;
    if (frame.size() < 4 || !frame.startsWith('[') || !frame.endsWith(']') ||
        !isHexText(frame.sliced(1, 2)) ||
        HexVal2(frame.sliced(1)) != FrameChecksum(frame.sliced(3))) {
        result.problem = ReceivedCommand::Problem::BadChecksum;
        return result;
    }
    result.problem = ReceivedCommand::Problem::UnknownCommand;
    if (!frame.sliced(3).startsWith("00")) {
        return result;
    }
    const QByteArray command = frame.sliced(5, frame.size() - 6).toByteArray().toUpper();
    if (command == ChecksumCommand) {
        result.kind = ReceivedCommand::Kind::ChecksumRequest;
    } else if (command.size() == 9 && command.startsWith("390") && command.endsWith("3F")) {
        result.kind = ReceivedCommand::Kind::BlockRead;
        result.block = blockAt(QByteArrayView(command).sliced(3, 4));
    } else if (command.size() == 9 + 2 * BlockBytes && command.startsWith("380") &&
               command.sliced(7, 2) == "3F" && isHexText(command.sliced(9))) {
        result.kind = ReceivedCommand::Kind::BlockWrite;
        result.block = blockAt(QByteArrayView(command).sliced(3, 4));
        result.data = QByteArray::fromHex(command.sliced(9));
    } else {
        return result;
    }
    if (result.block >= 0) {
        result.problem = ReceivedCommand::Problem::None;
    }
    return result;
}

QString printableBytes(QByteArrayView bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (code == '\\') {
            text += QStringLiteral("\\\\");
        } else if (code >= 0x20 && code < 0x7F) {
            text += QLatin1Char(c);
        } else {
            text += QStringLiteral("\\x") + QString::fromLatin1(Hex2(code));
        }
    }
    return text;
}
