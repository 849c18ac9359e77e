#include <QtTest>

#include <QRandomGenerator>

#include "link/exchange.h"
#include "tests/link/farend.h"

namespace {

const QByteArray ZeroChecksumReply("[34DA90190E]");
const QByteArray Previous("previous reply");

// One line, one clock, one shared state, the port open.
struct Rig {
    FakeClock clock;
    FakeLine line{clock};
    ModBrevane mod;
    Exchange link{line, clock, mod};

    Rig() {
        line.open(1);
        mod.LastReply = Previous;
    }
    // Every frame is answered with the given arrivals.
    void answerWith(const QList<Arrival>& arrivals) {
        line.setResponder([arrivals](const QByteArray&, int) { return arrivals; });
    }
};

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

private slots:
    void writesTheFrameThenStartsTheClock();
    void replies_data();
    void replies();
    void flushDiscardsStaleBytes();
    void timeOuts_data();
    void timeOuts();
    void secondClockReadingDecides();
    void shortenedTimeOut_data();
    void shortenedTimeOut();
    void brokenLine_data();
    void brokenLine();
    void hostileByteStream();
    void randomReplies();
    void blockReply_data();
    void blockReply();
    void keyBlockReply();
    void checksumReply_data();
    void checksumReply();
};

void TestExchange::writesTheFrameThenStartsTheClock() {
    Rig rig;
    rig.clock.advance(1234);
    // The reply comes 30 ms after the write: the clock must count from the write.
    rig.line.onWrite = [&rig](int) { QCOMPARE(rig.clock.restarts, 0); };
    rig.answerWith({{30, ZeroChecksumReply}});
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.line.frames, QList<QByteArray>{"[0A003F00000023F]"});
    QCOMPARE(rig.clock.restarts, 1);
    QCOMPARE(rig.clock.elapsedMs(), 30);
    QCOMPARE(rig.mod.LastReply, ZeroChecksumReply);
}

void TestExchange::replies_data() {
    QTest::addColumn<QList<Arrival>>("arrivals");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("lastReply");

    const QByteArray lower = controllerReply("da90190e]").toLower();
    const QByteArray longRest = QByteArray(1000, 'A') + ']';
    QTest::newRow("good") << QList<Arrival>{{5, ZeroChecksumReply}} << true << ZeroChecksumReply;
    QTest::newRow("at once") << QList<Arrival>{{0, ZeroChecksumReply}} << true << ZeroChecksumReply;
    QTest::newRow("lower-case digits") << QList<Arrival>{{5, lower}} << true << lower;
    QTest::newRow("in three pieces")
        << QList<Arrival>{{5, "[34DA"}, {900, "9019"}, {4000, "0E]"}} << true << ZeroChecksumReply;
    QTest::newRow("bad checksum") << QList<Arrival>{{5, "[35DA90190E]"}} << false
                                  << QByteArray("[35DA90190E]");
    QTest::newRow("extra character after")
        << QList<Arrival>{{5, ZeroChecksumReply + "]"}} << false << ZeroChecksumReply + "]";
    QTest::newRow("extra character in the same piece comes too")
        << QList<Arrival>{{5, ZeroChecksumReply}, {5, "x"}} << false << ZeroChecksumReply + "x";
    const QByteArray junk = QByteArray(1, '\0') + "\xFFz" + ZeroChecksumReply;
    QTest::newRow("junk before") << QList<Arrival>{{5, junk}} << false << junk;
    // Longer than any reply the transfers await, and still checked whole.
    QTest::newRow("very long reply")
        << QList<Arrival>{{5, controllerReply(longRest)}} << true << controllerReply(longRest);
    QTest::newRow("frame marks not examined")
        << QList<Arrival>{{5, "(34DA90190E]"}} << true << QByteArray("(34DA90190E]");
}

void TestExchange::replies() {
    QFETCH(QList<Arrival>, arrivals);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, lastReply);
    Rig rig;
    rig.answerWith(arrivals);
    QCOMPARE(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength), accepted);
    QCOMPARE(rig.mod.LastReply, lastReply);
}

void TestExchange::flushDiscardsStaleBytes() {
    Rig rig;
    rig.line.arriveNow("[34DA90190E]"); // a whole stale reply
    rig.answerWith({{20, ZeroChecksumReply}});
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, ZeroChecksumReply);
    QCOMPARE(rig.line.discarded, 12);
    // Without the flush the stale reply alone would have satisfied the count at once.
    QCOMPARE(rig.clock.elapsedMs(), 20);

    // Stale bytes arriving after the reply are flushed before the next command.
    rig.line.arriveIn(100, "junk");
    rig.clock.advance(200);
    QVERIFY(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, ZeroChecksumReply);
}

void TestExchange::timeOuts_data() {
    QTest::addColumn<QList<Arrival>>("arrivals");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<qint64>("elapsed");

    QTest::newRow("no reply") << QList<Arrival>{} << false << qint64(5000);
    QTest::newRow("one character short")
        << QList<Arrival>{{10, ZeroChecksumReply.left(11)}} << false << qint64(5000);
    QTest::newRow("complete one ms before the limit")
        << QList<Arrival>{{4999, ZeroChecksumReply}} << true << qint64(4999);
    QTest::newRow("complete just at the limit")
        << QList<Arrival>{{5000, ZeroChecksumReply}} << false << qint64(5000);
    QTest::newRow("last character at the limit")
        << QList<Arrival>{{10, ZeroChecksumReply.left(11)}, {5000, "]"}} << false << qint64(5000);
    QTest::newRow("after the limit")
        << QList<Arrival>{{7000, ZeroChecksumReply}} << false << qint64(5000);
}

void TestExchange::timeOuts() {
    QFETCH(QList<Arrival>, arrivals);
    QFETCH(bool, accepted);
    QFETCH(qint64, elapsed);
    Rig rig;
    rig.answerWith(arrivals);
    QCOMPARE(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength), accepted);
    QCOMPARE(rig.clock.elapsedMs(), elapsed);
    QCOMPARE(rig.mod.LastReply, accepted ? ZeroChecksumReply : Previous);
    // The wait blocks on the line; it does not spin.
    QVERIFY2(rig.line.waits <= arrivals.size() + 1, qPrintable(QString::number(rig.line.waits)));
}

void TestExchange::secondClockReadingDecides() {
    Rig rig;
    // Counting the waiting bytes takes a millisecond: the reply is complete while the
    // clock still shows 4999, but the reading after the wait shows 5000.
    rig.line.bytesWaitingCostMs = 1;
    rig.answerWith({{4999, ZeroChecksumReply}});
    QVERIFY(!rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, Previous);
    QCOMPARE(rig.clock.elapsedMs(), 5000);
}

void TestExchange::shortenedTimeOut_data() {
    QTest::addColumn<qint64>("delay");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("inside") << qint64(99) << true;
    QTest::newRow("at the limit") << qint64(100) << false;
}

void TestExchange::shortenedTimeOut() {
    QFETCH(qint64, delay);
    QFETCH(bool, accepted);
    Rig rig;
    rig.link.setTimeoutMs(100);
    rig.answerWith({{delay, ZeroChecksumReply}});
    QCOMPARE(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength), accepted);
    QVERIFY(rig.clock.elapsedMs() <= 100);
}

void TestExchange::brokenLine_data() {
    QTest::addColumn<bool>("writeFails");
    QTest::newRow("write fails") << true;
    QTest::newRow("hung up after the write") << false;
}

void TestExchange::brokenLine() {
    QFETCH(bool, writeFails);
    Rig rig;
    rig.answerWith({{10, ZeroChecksumReply}});
    (writeFails ? rig.line.failWriteAt : rig.line.hangUpAt) = 0;
    QVERIFY(!rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.mod.LastReply, Previous);
    QCOMPARE(rig.clock.now(), 0); // at once, not after the time-out
    // The next exchange on the broken line fails at once too.
    QVERIFY(!rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength));
    QCOMPARE(rig.clock.now(), 0);
}

void TestExchange::hostileByteStream() {
    Rig rig;
    struct Step {
        QList<Arrival> arrivals;
        bool accepted;
    };
    const QByteArray good = ZeroChecksumReply;
    const QList<Step> steps{
        {{{3, "\xFF\xFE" + good}}, false},                        // junk before the reply
        {{{3, good}}, true},                                      // clean
        {{{3, "[00DA90190E]"}}, false},                           // bad checksum
        {{{3, good}, {50, "]]]["}}, true},                        // junk after, once done
        {{{3, good}}, true},                                      // the junk above is flushed
        {{{1, QByteArray(12, '\0')}}, false},                     // a line of NULs
        {{{1, "[3"}, {2, "4DA9"}, {3, "0190"}, {4, "E]"}}, true}, // dribbling in
        {{{2, good.left(6)}, {6000, good.mid(6)}}, false},        // stalls past the limit
        {{{3, good}}, true},                                      // the stalled tail is flushed
        {{{3, "[34DA90190E]"}, {3, good}}, false},                // two replies at once
        {{}, false},                                              // silence
        {{{3, good}}, true},
    };
    int index = 0;
    rig.line.setResponder([&](const QByteArray&, int frame) { return steps.at(frame).arrivals; });
    for (const Step& step : steps) {
        // Each exchange starts well after the previous reply's stragglers.
        rig.clock.advance(10000);
        QCOMPARE(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength), step.accepted);
        if (step.accepted) {
            QCOMPARE(rig.mod.LastReply, good);
        }
        ++index;
    }
    QCOMPARE(index, int(steps.size()));
    QCOMPARE(rig.line.frames.size(), steps.size());
}

void TestExchange::randomReplies() {
    // Whatever arrives, the result is: enough characters before the limit and a right
    // checksum over everything received.
    QRandomGenerator random(20261206);
    for (int round = 0; round < 2000; ++round) {
        Rig rig;
        QByteArray bytes(random.bounded(0, 40), '\0');
        for (char& c : bytes) {
            c = char(random.bounded(256));
        }
        if (random.bounded(2) == 0) {
            bytes = controllerReply(bytes); // half of them well-formed
        }
        const qint64 delay = random.bounded(0, 6000);
        rig.answerWith({{delay, bytes}});
        const bool arrives = delay < 5000 && bytes.size() >= ChecksumReplyLength;
        const bool expected = arrives && replyChecksumHolds(bytes);
        QCOMPARE(rig.link.SendCommand(ChecksumCommand, ChecksumReplyLength), expected);
        QCOMPARE(rig.mod.LastReply, arrives ? bytes : Previous);
    }
}

void TestExchange::blockReply_data() {
    QTest::addColumn<QByteArray>("data"); // characters 4 on
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("value");

    QByteArray pattern;
    for (int k = 0; k < 64; ++k) {
        pattern += QByteArray::number(0x80 + k, 16).toUpper();
    }
    QTest::newRow("first byte") << pattern << 0 << 0 << 0 << 0x80;
    QTest::newRow("byte 11 of block 1") << pattern << 1 << 9 << 3 << 0x8B;
    QTest::newRow("fields 6 and 7 travel") << pattern << 2 << 16 + 7 << 7 << 0xB8 + 7;
    QTest::newRow("last byte of block 7") << pattern << 7 << 63 << 7 << 0xBF;
    QTest::newRow("lower case") << pattern.toLower() << 3 << 24 << 5 << 0x85;
    QTest::newRow("pair not hex") << "G1" + pattern.mid(2) << 0 << 0 << 0 << 0;
    QTest::newRow("second digit not hex") << "3G" + pattern.mid(2) << 0 << 0 << 0 << 3;
    QTest::newRow("reply too short") << pattern.left(10) << 4 << 32 + 7 << 7 << 0;
}

void TestExchange::blockReply() {
    QFETCH(QByteArray, data);
    QFETCH(int, block);
    QFETCH(int, slot);
    QFETCH(int, field);
    QFETCH(int, value);
    CnfTable cnf;
    cnf.fill(0xEE);
    decodeBlockReply("[cc" + data + "]", block, cnf);
    QCOMPARE(int(cnf[cnfOffset(slot, field)]), value);
    // Only the block's 64 bytes change; field 8 and other slots are left alone.
    QCOMPARE(int(std::count(cnf.begin(), cnf.end(), 0xEE)), CnfBytes - 64);
    QCOMPARE(int(cnf[cnfOffset(block * 8, KeyChar)]), 0xEE);
}

void TestExchange::keyBlockReply() {
    CnfTable cnf{};
    QByteArray data(128, '0');
    data.replace(0, 2, "41");   // slot 0: 'A'
    data.replace(16, 2, "7a");  // slot 8: 'z'
    data.replace(126, 2, "FF"); // slot 63
    decodeBlockReply("[cc" + data + "]", 8, cnf);
    QCOMPARE(int(cnf[cnfOffset(0, KeyChar)]), 0x41);
    QCOMPARE(int(cnf[cnfOffset(8, KeyChar)]), 0x7A);
    QCOMPARE(int(cnf[cnfOffset(63, KeyChar)]), 0xFF);
    QCOMPARE(int(std::count(cnf.begin(), cnf.end(), 0)), CnfBytes - 3);
    // Blocks outside 0-8 are no blocks.
    const CnfTable before = cnf;
    decodeBlockReply("[cc" + QByteArray(128, 'F') + "]", 9, cnf);
    decodeBlockReply("[cc" + QByteArray(128, 'F') + "]", -1, cnf);
    QVERIFY(cnf == before);
}

void TestExchange::checksumReply_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::newRow("zero image") << ZeroChecksumReply << 0xDA90 << 0x190E;
    QTest::newRow("lower case") << QByteArray("[34da90190e]") << 0xDA90 << 0x190E;
    QTest::newRow("all set") << QByteArray("[xxFFFFFFFF]") << 0xFFFF << 0xFFFF;
    QTest::newRow("cut short") << QByteArray("[34DA9") << 0xDA9 << 0;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
}

void TestExchange::checksumReply() {
    QFETCH(QByteArray, reply);
    QFETCH(int, high);
    QFETCH(int, low);
    const ChecksumHalves halves = decodeChecksumReply(reply);
    QCOMPARE(halves.high, high);
    QCOMPARE(halves.low, low);
}

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
