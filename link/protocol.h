#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

#include "table/modbrevane.h"

// The controller's side of the table: the same 576 bytes in another order. Fields 0-7
// of each slot as eight-byte records (slot-major), then field 8 of every slot.
using ControllerImage = std::array<std::uint8_t, CnfBytes>;

constexpr int ImageBlocks = 9; // eight slot blocks and the key block
constexpr int BlockBytes = 64;

// Where field f of slot L stands in the controller image.
constexpr int imageOffset(int slot, int field) {
    return field == KeyChar ? 512 + slot : slot * 8 + field;
}

ControllerImage controllerImage(const CnfTable& cnf);
CnfTable tableFromImage(const ControllerImage& image);

// The frame checksum: start at 0xA5; for each code rotate right by one bit within eight
// bits, then add the code modulo 256.
std::uint8_t FrameChecksum(QByteArrayView codes);
// The CRC-like 32-bit checksum the controller reports over its image.
std::uint32_t ImageChecksum(const ControllerImage& image);
// The checksum a controller reports once it holds a file's table as Download sends it
// (the keys packed again as the window packs them), in its reply's two halves of four
// upper-case hex digits, high first: "DA90 190E" for an empty table.
QString controllerChecksumText(const CnfTable& cnf);

// "[" + checksum + "00" + command + "]"; the checksum covers "00" + command + "]".
QByteArray commandFrame(QByteArrayView command);
// Whether characters 2 and 3 of a reply are two hex digits (either case) whose value is
// the frame checksum of its characters from the 4th to the last. Nothing else of the
// reply is examined.
bool replyChecksumHolds(QByteArrayView reply);

// The command texts. Block 8 is the key block (offset 0200).
QByteArray blockWriteCommand(int block, const ControllerImage& image);
QByteArray blockReadCommand(int block);
inline constexpr char ChecksumCommand[] = "3F00000023F";

// Every character a Download or an Upload puts on the line, its frames and the replies:
// what its time on the wire is made of.
qsizetype downloadCharacters();
qsizetype uploadCharacters();

// The 128 upper-case hex digits of one 64-byte block of the image.
QByteArray blockHex(const ControllerImage& image, int block);

// The controller's side: a reply is "[" + checksum + body + "]", the checksum covering
// body + "]".
QByteArray replyFrame(QByteArrayView body);

// A command frame as the controller reads it. Hex digits count in either case.
struct ReceivedCommand {
    enum class Kind { BlockWrite, BlockRead, ChecksumRequest };
    enum class Problem { None, BadChecksum, UnknownCommand };
    Problem problem = Problem::None;
    Kind kind = Kind::ChecksumRequest;
    int block = 0;   // 0-7 slot blocks, 8 the key block
    QByteArray data; // a block write's 64 bytes
};
// Reads a whole frame from "[" to "]". Its checksum must hold and its command be one of
// the three, with a block offset 0000-0200 on a 64-byte boundary and, for a write,
// exactly 128 hex digits.
ReceivedCommand parseCommandFrame(QByteArrayView frame);

// Reply lengths the tool waits for.
constexpr int BlockWriteReplyLength = 6;
constexpr int BlockReadReplyLength = 132;
constexpr int ChecksumReplyLength = 12;

// Bytes as they crossed the line, for a log or a trace: printable ASCII as it is, a
// backslash doubled, anything else as \xNN.
QString printableBytes(QByteArrayView bytes);
