#include <QtTest>

#include "link/exchange.h"
#include "link/protocol.h"
#include "tests/support/fakeline.h"

namespace {

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
    void answerWith(const QList<Arrival>& arrivals) {
        line.setResponder([arrivals](const QByteArray&, int) { return arrivals; });
    }
    bool ask() { return link.SendCommand(ChecksumCommand, ChecksumReplyLength); }
};

} // namespace

class TestExchange : public QObject {
    Q_OBJECT

private slots:
    void replies_data() {
        QTest::addColumn<QList<Arrival>>("arrivals");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<int>("countCostMs"); // clock time each look at the line takes
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("lastReply");
        QTest::addColumn<int>("elapsed");

        const QByteArray c = ZeroChecksumReply;
        const QByteArray longReply = "[50" + QByteArray(1000, 'A') + ']';
        using L = QList<Arrival>;
        QTest::newRow("at once") << L{{0, c}} << 5000 << 0 << true << c << 0;
        QTest::newRow("bad checksum")
            << L{{5, "[35DA90190E]"}} << 5000 << 0 << false << QByteArray("[35DA90190E]") << 5;
        QTest::newRow("longer than awaited, checked whole")
            << L{{5, longReply}} << 5000 << 0 << true << longReply << 5;
        QTest::newRow("no reply") << L{} << 5000 << 0 << false << Previous << 5000;
        QTest::newRow("one character short")
            << L{{10, c.left(11)}} << 5000 << 0 << false << Previous << 5000;
        QTest::newRow("complete one ms before the limit")
            << L{{4999, c}} << 5000 << 0 << true << c << 4999;
        QTest::newRow("complete just at the limit")
            << L{{5000, c}} << 5000 << 0 << false << Previous << 5000;
        // Complete while the clock still shows 4999; the reading after the wait shows 5000.
        QTest::newRow("the reading after the wait decides")
            << L{{4999, c}} << 5000 << 1 << false << Previous << 5000;
        QTest::newRow("shortened time-out, at the limit")
            << L{{100, c}} << 100 << 0 << false << Previous << 100;
    }
    void replies() {
        QFETCH(QList<Arrival>, arrivals);
        QFETCH(int, timeoutMs);
        QFETCH(int, countCostMs);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, lastReply);
        QFETCH(int, elapsed);
        Rig rig;
        rig.clock.advance(1234);
        rig.link.setTimeoutMs(timeoutMs);
        rig.line.bytesWaitingCostMs = countCostMs;
        // The clock counts from the write, not before it.
        rig.line.onWrite = [&rig](int) { QCOMPARE(rig.clock.restarts, 0); };
        rig.answerWith(arrivals);
        QCOMPARE(rig.ask(), accepted);
        QCOMPARE(rig.line.frames, QList<QByteArray>{ChecksumFrame});
        QCOMPARE(rig.clock.restarts, 1);
        QCOMPARE(rig.mod.LastReply, lastReply);
        QCOMPARE(int(rig.clock.elapsedMs()), elapsed);
        // The wait blocks on the line; it does not spin.
        QVERIFY2(rig.line.waits <= arrivals.size() + 1,
                 qPrintable(QString::number(rig.line.waits)));
    }
    void flushDiscardsStaleBytes() {
        Rig rig;
        rig.line.arriveNow(ZeroChecksumReply); // a whole stale reply
        rig.answerWith({{20, ZeroChecksumReply}});
        QVERIFY(rig.ask());
        QCOMPARE(rig.line.discarded, 12);
        // Without the flush the stale reply alone would have satisfied the count at once.
        QCOMPARE(rig.clock.elapsedMs(), 20);
    }
    // A broken line fails at once, not after the time-out, and the next exchange too.
    void brokenLine_data() {
        QTest::addColumn<int>("failWriteAt");
        QTest::addColumn<int>("hangUpAt");
        QTest::newRow("write fails") << 0 << -1;
        QTest::newRow("hung up after the write") << -1 << 0;
    }
    void brokenLine() {
        QFETCH(int, failWriteAt);
        QFETCH(int, hangUpAt);
        Rig rig;
        rig.answerWith({{10, ZeroChecksumReply}});
        rig.line.failWriteAt = failWriteAt;
        rig.line.onWrite = [&rig, hangUpAt](int index) {
            if (index == hangUpAt) {
                rig.line.hangUp();
            }
        };
        for (int round = 0; round < 2; ++round) {
            QVERIFY(!rig.ask());
            QCOMPARE(rig.mod.LastReply, Previous);
            QCOMPARE(rig.clock.now(), 0);
        }
    }
    void blockReply_data() {
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
        QTest::newRow("last byte of block 7") << pattern << 7 << 63 << 7 << 0xBF;
        QTest::newRow("key block, slot 63") << pattern << 8 << 63 << int(KeyChar) << 0xBF;
        QTest::newRow("lower case") << pattern.toLower() << 3 << 24 << 5 << 0x85;
        QTest::newRow("pair not hex") << "G1" + pattern.mid(2) << 0 << 0 << 0 << 0;
        QTest::newRow("reply too short") << pattern.left(10) << 4 << 32 + 7 << 7 << 0;
        QTest::newRow("block 9 is no block") << pattern << 9 << 0 << 0 << 0xEE;
    }
    void blockReply() {
        QFETCH(QByteArray, data);
        QFETCH(int, block);
        QFETCH(int, slot);
        QFETCH(int, field);
        QFETCH(int, value);
        // A guard after the table shows a write past its end.
        struct {
            CnfTable cnf;
            std::array<std::uint8_t, 64> after;
        } guarded{};
        guarded.after.fill(0xEE);
        CnfTable& cnf = guarded.cnf;
        cnf.fill(0xEE);
        decodeBlockReply("[cc" + data + "]", block, cnf);
        QCOMPARE(int(std::count(guarded.after.begin(), guarded.after.end(), 0xEE)), 64);
        QCOMPARE(int(cnf[cnfOffset(slot, field)]), value);
        // Only the block's 64 bytes change.
        const bool isBlock = block >= 0 && block < ImageBlocks;
        QCOMPARE(int(std::count(cnf.begin(), cnf.end(), 0xEE)), CnfBytes - (isBlock ? 64 : 0));
        if (block < 8) {
            QCOMPARE(int(cnf[cnfOffset(qBound(0, block, 7) * 8, KeyChar)]), 0xEE);
        }
    }
};

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
