#include <QtTest>

#include "link/protocol.h"
#include "table/hextext.h"

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void frameChecksum_data();
    void frameChecksum();
    void frames_data();
    void frames();
    void replyCheck_data();
    void replyCheck();
    void imageChecksumOfZeros();
    void imageChecksumSeesEveryByte();
    void imageOrder();
    void imageRoundTrip();
    void blockCommands_data();
    void blockCommands();
    void blockWriteCarriesImageBytes();
};

void TestProtocol::frameChecksum_data() {
    QTest::addColumn<QByteArray>("codes");
    QTest::addColumn<int>("sum");
    QTest::newRow("empty") << QByteArray() << 0xA5;
    QTest::newRow("abc") << QByteArray("abc") << 0x60;
    QTest::newRow("one zero") << QByteArray(1, '\0') << 0xD2; // A5 rotated right
    QTest::newRow("high bytes wrap") << QByteArray("\xFF\xFF") << 0xE7;
}

void TestProtocol::frameChecksum() {
    QFETCH(QByteArray, codes);
    QFETCH(int, sum);
    QCOMPARE(int(FrameChecksum(codes)), sum);
}

void TestProtocol::frames_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("checksum request")
        << QByteArray(ChecksumCommand) << QByteArray("[0A003F00000023F]");
    QTest::newRow("key block read") << blockReadCommand(8) << QByteArray("[1E0039002003F]");
    QTest::newRow("first block read") << blockReadCommand(0) << QByteArray("[6E0039000003F]");
}

void TestProtocol::frames() {
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, frame);
    QCOMPARE(commandFrame(command), frame);
}

void TestProtocol::replyCheck_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("holds");
    QTest::newRow("zero image checksum reply") << QByteArray("[34DA90190E]") << true;
    QTest::newRow("lower-case checksum digits") << QByteArray("[0a003F00000023F]") << true;
    QTest::newRow("checksum off by one") << QByteArray("[35DA90190E]") << false;
    QTest::newRow("trailing character") << QByteArray("[34DA90190E]x") << false;
    QTest::newRow("frame marks not examined") << QByteArray("x34DA90190E]") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("one character") << QByteArray("[") << false;
    QTest::newRow("bare checksum of nothing") << QByteArray("[A5") << true;
    QTest::newRow("non-hex checksum") << QByteArray("[ZZDA90190E]") << false;
}

void TestProtocol::replyCheck() {
    QFETCH(QByteArray, reply);
    QFETCH(bool, holds);
    QCOMPARE(replyChecksumHolds(reply), holds);
}

void TestProtocol::imageChecksumOfZeros() {
    const ControllerImage zeros{};
    QCOMPARE(ImageChecksum(zeros), 0xDA90190EU);
    QCOMPARE(Hex2(FrameChecksum("DA90190E]")), QByteArray("34")); // the reply [34DA90190E]
}

void TestProtocol::imageChecksumSeesEveryByte() {
    const ControllerImage zeros{};
    const std::uint32_t base = ImageChecksum(zeros);
    for (int at : {0, 1, 63, 64, 511, 512, 575}) {
        ControllerImage changed{};
        changed[at] = 1;
        QVERIFY2(ImageChecksum(changed) != base, qPrintable(QString::number(at)));
    }
}

void TestProtocol::imageOrder() {
    CnfTable cnf{};
    cnf[cnfOffset(0, ONode)] = 0x11;
    cnf[cnfOffset(1, OEnabled)] = 0x22;
    cnf[cnfOffset(8, Reserved7)] = 0x33;
    cnf[cnfOffset(0, KeyChar)] = 'K';
    cnf[cnfOffset(63, KeyChar)] = 0x44;
    cnf[cnfOffset(63, Reserved7)] = 0x55;
    const ControllerImage image = controllerImage(cnf);
    QCOMPARE(int(image[1]), 0x11);
    QCOMPARE(int(image[8]), 0x22);
    QCOMPARE(int(image[64 + 7]), 0x33); // block 1 starts with slot 8
    QCOMPARE(int(image[512]), int('K'));
    QCOMPARE(int(image[575]), 0x44);
    QCOMPARE(int(image[511]), 0x55);
}

void TestProtocol::imageRoundTrip() {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    QVERIFY(tableFromImage(controllerImage(cnf)) == cnf);
}

void TestProtocol::blockCommands_data() {
    QTest::addColumn<int>("block");
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("writeHead");
    QTest::newRow("block 0") << 0 << QByteArray("39000003F") << QByteArray("38000003F");
    QTest::newRow("block 1") << 1 << QByteArray("39000403F") << QByteArray("38000403F");
    QTest::newRow("block 7") << 7 << QByteArray("39001C03F") << QByteArray("38001C03F");
    QTest::newRow("key block") << 8 << QByteArray("39002003F") << QByteArray("38002003F");
}

void TestProtocol::blockCommands() {
    QFETCH(int, block);
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, writeHead);
    const ControllerImage zeros{};
    QCOMPARE(blockReadCommand(block), read);
    const QByteArray write = blockWriteCommand(block, zeros);
    QCOMPARE(write.size(), 137);
    QCOMPARE(write.left(9), writeHead);
    QCOMPARE(write.mid(9), QByteArray(128, '0'));
}

void TestProtocol::blockWriteCarriesImageBytes() {
    ControllerImage image{};
    image[64] = 10;
    image[127] = 255;
    image[128] = 1;
    const QByteArray write = blockWriteCommand(1, image);
    QCOMPARE(write.mid(9, 2), QByteArray("0A"));
    QCOMPARE(write.right(2), QByteArray("FF"));
    const QByteArray frame = commandFrame(blockWriteCommand(0, ControllerImage{}));
    QCOMPARE(frame.size(), 143);
    QCOMPARE(frame.left(3), QByteArray("[93"));
    QVERIFY(commandFrame(blockWriteCommand(8, ControllerImage{})).startsWith("[150038002003F"));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
