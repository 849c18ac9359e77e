#include <QtTest>

#include "link/protocol.h"
#include "table/hextext.h"
#include "tests/support/controllerend.h"

namespace {

// "[" + checksum + rest, the way the controller frames a reply.
QByteArray controllerReply(const QByteArray& rest) {
    return '[' + Hex2(FrameChecksum(rest)) + rest;
}

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void frames_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        // Rotate right within eight bits, then add the byte, unsigned: A5 -> D2 -> D1 ...
        QTest::newRow("checksum of high bytes")
            << Hex2(FrameChecksum("\xFF\xFF")) << QByteArray("E7");
        QTest::newRow("checksum request") << commandFrame(ChecksumCommand) << ChecksumFrame;
        QTest::newRow("first block read")
            << commandFrame(blockReadCommand(0)) << FirstBlockReadFrame;
        QTest::newRow("key block read") << commandFrame(blockReadCommand(8)) << KeyBlockReadFrame;
        ControllerImage image{};
        image[64] = 10;
        image[127] = 255;
        image[128] = 1; // block 2: not carried
        QTest::newRow("block write carries its own bytes")
            << commandFrame(blockWriteCommand(1, image))
            << "[BB0038000403F0A" + QByteArray(124, '0') + "FF]";
        QTest::newRow("reply to the zero image checksum")
            << replyFrame("DA90190E") << ZeroChecksumReply;
        QTest::newRow("block write acknowledged") << replyFrame("00") << BlockWrittenReply;
    }
    void frames() {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame, expected);
    }
    void replyCheck_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("holds");
        QTest::newRow("zero image checksum reply") << ZeroChecksumReply << true;
        QTest::newRow("checksum off by one") << QByteArray("[35DA90190E]") << false;
        QTest::newRow("trailing character") << QByteArray("[34DA90190E]x") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("bare checksum of nothing") << QByteArray("[A5") << true;
        QTest::newRow("non-hex checksum") << QByteArray("[ZZDA90190E]") << false;
        // Read as hex these would give the body's checksum (0 and 7).
        QTest::newRow("no digit, body sums to 0") << QByteArray("[>34D]") << false;
        QTest::newRow("one digit, body sums to 7") << QByteArray("[7?079]") << false;
    }
    void replyCheck() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, holds);
        QCOMPARE(replyChecksumHolds(reply), holds);
    }
    void imageChecksum() {
        QCOMPARE(ImageChecksum(ControllerImage{}), 0xDA90190EU);
        QCOMPARE(ImageChecksum(blockPattern()), 0x84C286EEU);
    }
    void parseCommand_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("expected");
        const QByteArray zeros(128, '0');
        QTest::newRow("checksum request, lower case") << QByteArray("[42003f00000023f]") << "sum";
        QTest::newRow("key block read") << KeyBlockReadFrame << "read 8";
        QTest::newRow("block 3 write") << controllerReply("0038000C03F" + zeros + "]") << "write 3";
        QTest::newRow("wrong checksum") << BadSumChecksumFrame << "bad checksum";
        QTest::newRow("too short") << QByteArray("[A5]") << "bad checksum";
        QTest::newRow("not 00 before the command")
            << controllerReply("013F00000023F]") << "unknown";
        QTest::newRow("read beyond the image") << QByteArray("[DE0039002403F]") << "unknown";
        QTest::newRow("write one byte short")
            << controllerReply("0038000003F" + zeros.left(126) + "]") << "unknown";
    }
    void parseCommand() {
        QFETCH(QByteArray, frame);
        using Problem = ReceivedCommand::Problem;
        const ReceivedCommand command = parseCommandFrame(frame);
        const QString kind = command.kind == ReceivedCommand::Kind::ChecksumRequest ? "sum"
                             : command.kind == ReceivedCommand::Kind::BlockRead     ? "read "
                                                                                    : "write ";
        QTEST(command.problem == Problem::BadChecksum      ? "bad checksum"
              : command.problem == Problem::UnknownCommand ? "unknown"
              : kind == "sum"                              ? kind
                                                           : kind + QString::number(command.block),
              "expected");
    }
    // What a run's time on the wire is made of: its frames and their replies.
    void lineCharacters() {
        QCOMPARE(downloadCharacters(), 1370); // 9 writes of 143 and their 6, 17 and 12
        QCOMPARE(uploadCharacters(), 1352);   // 9 reads of 15 and their 132, 17 and 12
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
