#include <QRandomGenerator>
#include <QtTest>

#include "link/protocol.h"
#include "table/hextext.h"
#include "tools/nc-sim/controller.h"

namespace {

const QByteArray ZeroChecksumReply = "[34DA90190E]";
const QByteArray ChecksumFrame = "[0A003F00000023F]";

// Block 2 holding 03 07 0B ... FF, everything else zero.
ControllerImage patternImage() {
    ControllerImage image{};
    for (int k = 0; k < BlockBytes; ++k) {
        image[2 * BlockBytes + k] = static_cast<std::uint8_t>(k * 4 + 3);
    }
    return image;
}
const QByteArray PatternBlockReply =
    "[E503070B0F13171B1F23272B2F33373B3F43474B4F53575B5F63676B6F73777B"
    "7F83878B8F93979B9FA3A7ABAFB3B7BBBFC3C7CBCFD3D7DBDFE3E7EBEFF3F7FB"
    "FF]";
const QByteArray PatternChecksumReply = "[A484C286EE]";

// The one reply a single frame brings.
Received one(Controller& controller, const QByteArray& frame) {
    std::vector<Received> out = controller.feed(frame);
    if (out.size() != 1) {
        qWarning("expected one result, got %d", int(out.size()));
        return {};
    }
    return out.front();
}

// What the client sees for one frame: the bytes in one write, then the stale ones.
QByteArray seen(const Received& r) {
    if (r.hangup) {
        return "hangup";
    }
    QByteArray wire = r.before + r.reply + r.after;
    if (!r.stale.isEmpty()) {
        wire += " then " + r.stale;
    }
    return wire;
}

std::vector<Fault> faultsFrom(const QStringList& specs) {
    std::vector<Fault> faults;
    for (const QString& spec : specs) {
        faults.push_back(parseFault(spec).value());
    }
    return faults;
}

} // namespace

class TestController : public QObject {
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void writeThenReadGivesTheSameBytes();
    void wholeTableThroughTheToolsCommands();
    void keyBlockAt0200();
    void ignoredInput_data();
    void ignoredInput();
    void faults_data();
    void faults();
    void silentStillStoresHangupDoesNot();
    void frameCounting();
    void hostileByteStream();
    void parseFaults_data();
    void parseFaults();
    void pacedPieces();
    void unpacedPieces();
    void wireTimes();
    void printableLog();
};

void TestController::replies_data() {
    QTest::addColumn<ControllerImage>("image");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("reply");
    const ControllerImage zeros{};
    QTest::newRow("checksum request, zero image") << zeros << ChecksumFrame << ZeroChecksumReply;
    QTest::newRow("checksum request in lower case")
        << zeros << QByteArray("[42003f00000023f]") << ZeroChecksumReply;
    QTest::newRow("checksum request, pattern image")
        << patternImage() << ChecksumFrame << PatternChecksumReply;
    QTest::newRow("block read, zero image")
        << zeros << QByteArray("[6E0039000003F]") << "[6A" + QByteArray(128, '0') + "]";
    QTest::newRow("block read, pattern")
        << patternImage() << commandFrame("39000803F") << PatternBlockReply;
    QTest::newRow("block read in lower case")
        << patternImage() << commandFrame("39000803f") << PatternBlockReply;
    QTest::newRow("block write acknowledged")
        << zeros << commandFrame(blockWriteCommand(8, zeros)) << QByteArray("[F500]");
}

void TestController::replies() {
    QFETCH(ControllerImage, image);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, reply);
    Controller controller;
    controller.setImage(image);
    const Received r = one(controller, frame);
    QCOMPARE(r.bytes, frame);
    QCOMPARE(r.frame, 1);
    QCOMPARE(r.reply, reply);
    QCOMPARE(r.note, QString());
    QVERIFY(replyChecksumHolds(r.reply));
}

void TestController::writeThenReadGivesTheSameBytes() {
    Controller controller;
    const ControllerImage pattern = patternImage();
    // Lower-case data digits are stored as the bytes they stand for.
    const Received written = one(controller, commandFrame(blockWriteCommand(2, pattern).toLower()));
    QCOMPARE(written.reply, QByteArray("[F500]"));
    QVERIFY(written.imageChanged);
    QVERIFY(controller.image() == pattern);
    const Received read = one(controller, commandFrame(blockReadCommand(2)));
    QCOMPARE(read.reply, PatternBlockReply);
    QVERIFY(!read.imageChanged);
    QCOMPARE(one(controller, ChecksumFrame).reply, PatternChecksumReply);
}

void TestController::wholeTableThroughTheToolsCommands() {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    const ControllerImage image = controllerImage(cnf);
    Controller controller;
    for (int block = 0; block < ImageBlocks; ++block) {
        QCOMPARE(one(controller, commandFrame(blockWriteCommand(block, image))).reply,
                 QByteArray("[F500]"));
    }
    QVERIFY(tableFromImage(controller.image()) == cnf);
    for (int block = 0; block < ImageBlocks; ++block) {
        const QByteArray reply = one(controller, commandFrame(blockReadCommand(block))).reply;
        QCOMPARE(reply.size(), BlockReadReplyLength);
        QCOMPARE(reply.mid(3, 128), blockHex(image, block));
    }
    const std::uint32_t sum = ImageChecksum(image);
    const QByteArray reply = one(controller, commandFrame(ChecksumCommand)).reply;
    QCOMPARE(reply.size(), ChecksumReplyLength);
    QCOMPARE(HexVal4(reply.mid(3)), std::int32_t(sum >> 16U));
    QCOMPARE(HexVal4(reply.mid(7)), std::int32_t(sum & 0xFFFFU));
    QVERIFY(replyChecksumHolds(reply));
}

void TestController::keyBlockAt0200() {
    QByteArray keys(128, '0');
    keys.replace(0, 2, "4B");   // 'K' in field 8 of slot 0
    keys.replace(126, 2, "7a"); // 'z' in field 8 of slot 63
    Controller controller;
    QCOMPARE(one(controller, commandFrame("38002003F" + keys)).reply, QByteArray("[F500]"));
    QCOMPARE(int(controller.image()[512]), int('K'));
    QCOMPARE(int(controller.image()[575]), int('z'));
    QCOMPARE(int(tableFromImage(controller.image())[cnfOffset(0, KeyChar)]), int('K'));
    for (int offset = 0; offset < 512; ++offset) {
        QCOMPARE(int(controller.image()[offset]), 0);
    }
    QCOMPARE(one(controller, QByteArray("[1E0039002003F]")).reply.mid(3, 128), keys.toUpper());
}

void TestController::ignoredInput_data() {
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("frames");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QByteArray>("discarded");
    QTest::newRow("bytes outside frames")
        << QByteArray("hello\r\n\x00", 8) << 0 << QString() << QByteArray("hello\r\n\x00", 8);
    QTest::newRow("closing bracket alone") << QByteArray("]") << 0 << QString() << QByteArray("]");
    QTest::newRow("wrong checksum")
        << QByteArray("[0B003F00000023F]") << 1 << "ignored: wrong checksum" << QByteArray();
    QTest::newRow("checksum of upper-case text, sent in lower case")
        << QByteArray("[0A003f00000023f]") << 1 << "ignored: wrong checksum" << QByteArray();
    QTest::newRow("unknown command")
        << QByteArray("[C8003A00000023F]") << 1 << "ignored: unknown command" << QByteArray();
    QTest::newRow("offset beyond the image")
        << QByteArray("[DE0039002403F]") << 1 << "ignored: unknown command" << QByteArray();
    QTest::newRow("offset off a block boundary")
        << QByteArray("[1E0039000103F]") << 1 << "ignored: unknown command" << QByteArray();
    QTest::newRow("empty frame") << QByteArray("[]") << 1 << "ignored: wrong checksum"
                                 << QByteArray();
    QTest::newRow("overlong frame")
        << "[" + QByteArray(500, '0') + "]" << 0 << QString() << "[" + QByteArray(500, '0') + "]";
}

void TestController::ignoredInput() {
    QFETCH(QByteArray, input);
    QFETCH(int, frames);
    QFETCH(QString, note);
    QFETCH(QByteArray, discarded);
    Controller controller(faultsFrom({QStringLiteral("stale"), QStringLiteral("junk")}));
    QByteArray thrown;
    for (const Received& r : controller.feed(input)) {
        QCOMPARE(seen(r), QByteArray());
        QVERIFY(!r.imageChanged);
        if (r.frame == 0) {
            thrown += r.bytes;
        } else {
            QCOMPARE(r.note, note);
        }
    }
    QCOMPARE(thrown, discarded);
    QCOMPARE(controller.framesReceived(), frames);
    // Nothing is left half-read: the next good frame is answered.
    const Received next = one(controller, ChecksumFrame);
    QCOMPARE(next.reply, ZeroChecksumReply);
    QCOMPARE(next.frame, frames + 1);
}

void TestController::faults_data() {
    QTest::addColumn<QStringList>("specs");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArrayList>("expected"); // what frames 1, 2 and 3 bring
    const QByteArray c = ZeroChecksumReply;
    const QByteArray junk = JunkBytes;
    const QByteArray stale = StaleBytes;
    const QByteArray read = "[6E0039000003F]";
    const QByteArray readReply = "[6A" + QByteArray(128, '0') + "]";
    const QByteArray write = commandFrame(blockWriteCommand(0, ControllerImage{}));
    QTest::newRow("silent") << QStringList{"silent"} << ChecksumFrame << QByteArrayList{"", "", ""};
    QTest::newRow("silent@2") << QStringList{"silent@2"} << ChecksumFrame
                              << QByteArrayList{c, "", c};
    QTest::newRow("badsum") << QStringList{"badsum"} << ChecksumFrame
                            << QByteArrayList{"[35DA90190E]", "[35DA90190E]", "[35DA90190E]"};
    QTest::newRow("badsum@1") << QStringList{"badsum@1"} << ChecksumFrame
                              << QByteArrayList{"[35DA90190E]", c, c};
    QTest::newRow("short@3") << QStringList{"short@3"} << ChecksumFrame
                             << QByteArrayList{c, c, "[34DA90190E"};
    QTest::newRow("short on a block read")
        << QStringList{"short@1"} << read
        << QByteArrayList{readReply.chopped(1), readReply, readReply};
    QTest::newRow("extra@2") << QStringList{"extra@2"} << ChecksumFrame
                             << QByteArrayList{c, c + "~~", c};
    QTest::newRow("lower@1") << QStringList{"lower@1"} << ChecksumFrame
                             << QByteArrayList{"[a5da90190e]", c, c};
    QTest::newRow("lower on a block write")
        << QStringList{"lower"} << write << QByteArrayList{"[f500]", "[f500]", "[f500]"};
    QTest::newRow("lower and badsum together")
        << QStringList{"lower@2", "badsum@2"} << ChecksumFrame
        << QByteArrayList{c, "[a6da90190e]", c};
    QTest::newRow("high") << QStringList{"high"} << ChecksumFrame
                          << QByteArrayList{"[B7256F190E]", "[B7256F190E]", "[B7256F190E]"};
    QTest::newRow("low@2") << QStringList{"low@2"} << ChecksumFrame
                           << QByteArrayList{c, "[91DA90E6F1]", c};
    QTest::newRow("high and low") << QStringList{"high@1", "low@1"} << ChecksumFrame
                                  << QByteArrayList{"[13256FE6F1]", c, c};
    QTest::newRow("high leaves a block read alone")
        << QStringList{"high", "low"} << read << QByteArrayList{readReply, readReply, readReply};
    QTest::newRow("junk@1") << QStringList{"junk@1"} << ChecksumFrame
                            << QByteArrayList{junk + c, c, c};
    QTest::newRow("stale@2") << QStringList{"stale@2"} << ChecksumFrame
                             << QByteArrayList{c, c + " then " + stale, c};
    QTest::newRow("stale with silent: no reply, nothing after it")
        << QStringList{"stale", "silent@1"} << ChecksumFrame
        << QByteArrayList{"", c + " then " + stale, c + " then " + stale};
    QTest::newRow("hangup@2") << QStringList{"hangup@2"} << ChecksumFrame
                              << QByteArrayList{c, "hangup", c};
    QTest::newRow("faults on different frames")
        << QStringList{"silent@1", "badsum@3", "extra@3"} << ChecksumFrame
        << QByteArrayList{"", c, "[35DA90190E]~~"};
    QTest::newRow("every shape at once")
        << QStringList{"short@2", "junk@2", "extra@2", "stale@2"} << ChecksumFrame
        << QByteArrayList{c, junk + c.chopped(1) + "~~ then " + stale, c};
}

void TestController::faults() {
    QFETCH(QStringList, specs);
    QFETCH(QByteArray, frame);
    QFETCH(QByteArrayList, expected);
    Controller controller(faultsFrom(specs));
    for (int n = 1; n <= 3; ++n) {
        const Received r = one(controller, frame);
        QCOMPARE(r.frame, n);
        QCOMPARE(seen(r), expected[n - 1]);
        if (!r.reply.isEmpty() && r.note.isEmpty()) {
            QVERIFY(replyChecksumHolds(r.reply));
        }
    }
}

void TestController::silentStillStoresHangupDoesNot() {
    const ControllerImage pattern = patternImage();
    const QByteArray write = commandFrame(blockWriteCommand(2, pattern));
    Controller silent(faultsFrom({QStringLiteral("silent")}));
    const Received quiet = one(silent, write);
    QCOMPARE(quiet.reply, QByteArray());
    QVERIFY(quiet.imageChanged);
    QVERIFY(silent.image() == pattern);

    // The line drops as the frame arrives: nothing of it or after it is taken.
    Controller hangup(faultsFrom({QStringLiteral("hangup@1")}));
    const std::vector<Received> out = hangup.feed(write + ChecksumFrame + "[0A00");
    QCOMPARE(int(out.size()), 1);
    QVERIFY(out.front().hangup);
    QVERIFY(!out.front().imageChanged);
    QVERIFY(hangup.image() == ControllerImage{});
    QCOMPARE(hangup.framesReceived(), 1);
    // Nothing that followed on the dropped line joins the next line's input.
    const std::vector<Received> after = hangup.feed("3F00000023F]");
    QCOMPARE(int(after.size()), 1);
    QCOMPARE(after.front().frame, 0);
    const Received next = one(hangup, ChecksumFrame);
    QCOMPARE(next.frame, 2);
    QCOMPARE(next.reply, ZeroChecksumReply);
}

void TestController::frameCounting() {
    // Frame 2 is the good one after a junk prefix, a bad frame and an unfinished one.
    Controller controller(faultsFrom({QStringLiteral("silent@2"), QStringLiteral("badsum@3")}));
    const std::vector<Received> out =
        controller.feed("noise[0B003F00000023F][0A003F0" + ChecksumFrame + ChecksumFrame);
    QByteArrayList shapes;
    QList<int> numbers;
    for (const Received& r : out) {
        numbers << r.frame;
        shapes << seen(r);
    }
    QCOMPARE(numbers, (QList<int>{0, 1, 0, 2, 3}));
    QCOMPARE(shapes, (QByteArrayList{"", "", "", "", "[35DA90190E]"}));
    QCOMPARE(out[2].bytes, QByteArray("[0A003F0"));
}

void TestController::hostileByteStream() {
    const ControllerImage pattern = patternImage();
    const QByteArray overlong = "[" + QByteArray(450, '9');
    const QByteArray stream = QByteArray("\x00\xFFnoise", 7) + ChecksumFrame       // #1
                              + "[3F00"                                            // cut off
                              + commandFrame(blockWriteCommand(2, pattern)) + "]]" // #2
                              + "[0B003F00000023F]"                                // #3 bad sum
                              + overlong + "]"                                     // noise
                              + commandFrame(blockReadCommand(2))                  // #4
                              + "[C8003A00000023F]"                                // #5 unknown
                              + ChecksumFrame                                      // #6
                              + "trailing[6E00";                                   // unfinished
    const QByteArray discarded =
        QByteArray("\x00\xFFnoise", 7) + "[3F00" + "]]" + overlong + "]" + "trailing";
    const QByteArrayList replies{ZeroChecksumReply, "[F500]", "",
                                 PatternBlockReply, "",       PatternChecksumReply};

    QList<QList<int>> cuttings{{int(stream.size())}, {1}};
    QRandomGenerator random(20261206);
    for (int round = 0; round < 20; ++round) {
        QList<int> sizes;
        for (int k = 0; k < 40; ++k) {
            sizes << random.bounded(1, 60);
        }
        cuttings << sizes;
    }
    for (const QList<int>& sizes : cuttings) {
        Controller controller;
        QByteArray thrown;
        QByteArrayList answered;
        qsizetype at = 0;
        for (int k = 0; at < stream.size(); ++k) {
            const qsizetype n = qMin<qsizetype>(sizes[k % sizes.size()], stream.size() - at);
            for (const Received& r : controller.feed(QByteArrayView(stream).sliced(at, n))) {
                if (r.frame == 0) {
                    thrown += r.bytes;
                } else {
                    QCOMPARE(r.frame, int(answered.size()) + 1);
                    answered << r.reply;
                }
            }
            at += n;
        }
        QCOMPARE(answered, replies);
        QCOMPARE(thrown, discarded);
        QVERIFY(controller.image() == pattern);
        // The unfinished frame at the end completes with the next input.
        QCOMPARE(one(controller, "39000003F]").reply, "[6A" + QByteArray(128, '0') + "]");
    }
}

void TestController::parseFaults_data() {
    QTest::addColumn<QString>("spec");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("frame");
    QTest::newRow("every frame") << "silent" << true << int(FaultKind::Silent) << 0;
    QTest::newRow("one frame") << "badsum@3" << true << int(FaultKind::BadSum) << 3;
    QTest::newRow("any case") << "HangUp@1" << true << int(FaultKind::Hangup) << 1;
    QTest::newRow("stale") << "stale@12" << true << int(FaultKind::Stale) << 12;
    QTest::newRow("empty") << "" << false << 0 << 0;
    QTest::newRow("unknown kind") << "noise" << false << 0 << 0;
    QTest::newRow("no number after @") << "silent@" << false << 0 << 0;
    QTest::newRow("frame 0") << "silent@0" << false << 0 << 0;
    QTest::newRow("negative frame") << "silent@-1" << false << 0 << 0;
    QTest::newRow("frame not a number") << "silent@x" << false << 0 << 0;
    QTest::newRow("no kind") << "@3" << false << 0 << 0;
    QTest::newRow("two @") << "stale@2@3" << false << 0 << 0;
}

void TestController::parseFaults() {
    QFETCH(QString, spec);
    QFETCH(bool, valid);
    QFETCH(int, kind);
    QFETCH(int, frame);
    QString error;
    const std::optional<Fault> fault = parseFault(spec, &error);
    QCOMPARE(fault.has_value(), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (fault) {
        QCOMPARE(int(fault->kind), kind);
        QCOMPARE(fault->frame, frame);
        QCOMPARE(faultName(fault->kind), spec.section(u'@', 0, 0).toLower());
    }
}

void TestController::pacedPieces() {
    using namespace std::chrono;
    Controller controller(
        faultsFrom({QStringLiteral("junk"), QStringLiteral("extra"), QStringLiteral("stale")}));
    const Received r = one(controller, ChecksumFrame);
    const steady_clock::time_point t0{};
    const auto character = wireTime(1);

    std::vector<LinePiece> pieces = replyPieces(r, true, t0, t0);
    QCOMPARE(int(pieces.size()), 12 + 1);
    // Each character goes out when it would have fully arrived, the frame's own time first.
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(pieces[k].due - t0, wireTime(17) + wireTime(k + 1));
        QVERIFY(!pieces[k].afterClientRead);
        QCOMPARE(pieces[k].logLine.isEmpty(), k < 11);
    }
    QCOMPARE(pieces[0].bytes, QByteArray(JunkBytes) + "[");
    QCOMPARE(pieces[11].bytes, QByteArray("]") + ExtraBytes);
    QByteArray all;
    for (int k = 0; k < 12; ++k) {
        all += pieces[k].bytes;
    }
    QCOMPARE(all, QByteArray(JunkBytes) + ZeroChecksumReply + ExtraBytes);
    QVERIFY(pieces[12].afterClientRead);
    QCOMPARE(pieces[12].bytes, QByteArray(StaleBytes));
    QVERIFY(pieces[12].due > pieces[11].due);
    QVERIFY(pieces[11].logLine.contains(QStringLiteral("out #1")));

    // A line still busy with an earlier reply delays the start.
    const auto busyUntil = t0 + milliseconds(50);
    pieces = replyPieces(r, true, t0, busyUntil);
    QCOMPARE(pieces.front().due - busyUntil, character);
    QCOMPARE(pieces[11].due - busyUntil, wireTime(12));
}

void TestController::unpacedPieces() {
    Controller controller(faultsFrom({QStringLiteral("extra@1"), QStringLiteral("silent@2")}));
    const std::chrono::steady_clock::time_point t0{};
    const std::vector<LinePiece> pieces =
        replyPieces(one(controller, ChecksumFrame), false, t0, t0 + std::chrono::seconds(1));
    QCOMPARE(int(pieces.size()), 1);
    QCOMPARE(pieces[0].due, t0);
    QCOMPARE(pieces[0].bytes, ZeroChecksumReply + ExtraBytes);
    QVERIFY(pieces[0].logLine.contains(QStringLiteral("(extra)")));
    QVERIFY(replyPieces(one(controller, ChecksumFrame), false, t0, t0).empty());
}

void TestController::wireTimes() {
    QCOMPARE(wireTime(384).count(), 100'000'000); // 3840 bits at 38400 baud
    QCOMPARE(wireTime(1).count(), 260'416);
    QCOMPARE(wireTime(0).count(), 0);
}

void TestController::printableLog() {
    QCOMPARE(printable(QByteArray("[A]\x00\xF0\\", 6)), QStringLiteral("[A]\\x00\\xf0\\x5c"));
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
