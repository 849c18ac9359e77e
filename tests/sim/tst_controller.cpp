// The stand-in's controller model, free of I/O: frames out of any byte stream, the reply
// shapes the transfer tests cannot tell apart, and when each piece of a reply goes out.

#include <QRandomGenerator>
#include <QtTest>

#include "nc-sim/controller.h"
#include "nc-sim/usbadapter.h"
#include "tests/support/controllerend.h"

namespace {

const QByteArray ZeroBlockReply = "[6A" + QByteArray(128, '0') + "]";

// Faults named as --fault takes them.
Controller withFaults(const QStringList& names) {
    return ControllerEnd(names).controller;
}

// What the client sees of each result: the bytes in one write, then the stale ones.
QByteArrayList seen(const std::vector<Received>& out) {
    QByteArrayList list;
    for (const Received& r : out) {
        QByteArray wire = r.hangup ? "hangup" : r.before + r.reply + r.after;
        if (!r.stale.isEmpty()) {
            wire += " then " + r.stale;
        }
        list << (r.frame == 0 ? "discarded " + r.bytes : wire);
    }
    return list;
}

} // namespace

class TestController : public QObject {
    Q_OBJECT

private slots:
    // The same input three times; each fault on its own reaches the client through
    // tst_transfer.
    void replies_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArray stale = StaleBytes;
        using L = QByteArrayList;
        QTest::newRow("wrong checksum: no reply, nothing stale")
            << QStringList{"stale"} << BadSumChecksumFrame << L{"", "", ""};
        QTest::newRow("lower and badsum together")
            << QStringList{"lower@2", "badsum@2"} << ChecksumFrame
            << L{ZeroChecksumReply, "[a6da90190e]", ZeroChecksumReply};
        QTest::newRow("stale with silent: no reply, nothing after it")
            << QStringList{"stale", "silent@1"} << ChecksumFrame
            << L{"", ZeroChecksumReply + " then " + stale, ZeroChecksumReply + " then " + stale};
        QTest::newRow("every shape at once")
            << QStringList{"short@2", "junk@2", "extra@2", "stale@2"} << ChecksumFrame
            << L{ZeroChecksumReply, JunkBytes + ZeroChecksumReply.chopped(1) + "~~ then " + stale,
                 ZeroChecksumReply};
    }
    void replies() {
        QFETCH(QStringList, faults);
        QFETCH(QByteArray, input);
        QFETCH(QByteArrayList, expected);
        Controller controller = withFaults(faults);
        QByteArrayList got;
        for (qsizetype n = 0; n < expected.size(); ++n) {
            got += seen(controller.feed(input));
        }
        QCOMPARE(got, expected);
        QCOMPARE(controller.framesReceived(), 3);
        QVERIFY(controller.image() == ControllerImage{});
        // Nothing is left half-read: the next frame is taken whole.
        const std::vector<Received> next = controller.feed(ChecksumFrame);
        QCOMPARE(int(next.size()), 1);
        QCOMPARE(next.front().frame, 4);
    }
    void silentStillStoresHangupDoesNot() {
        const QByteArray write = commandFrame(blockWriteCommand(2, blockPattern()));
        Controller silent = withFaults({"silent"});
        QCOMPARE(seen(silent.feed(write)), QByteArrayList{""});
        QVERIFY(silent.image() == blockPattern());

        // The line drops as the frame arrives: nothing of it or after it is taken.
        Controller hangup = withFaults({"hangup@1"});
        QCOMPARE(seen(hangup.feed(write + ChecksumFrame + "[0A00")), QByteArrayList{"hangup"});
        QVERIFY(hangup.image() == ControllerImage{});
        // Nothing that followed on the dropped line joins the next line's input.
        QCOMPARE(seen(hangup.feed("3F00000023F]" + ChecksumFrame)),
                 (QByteArrayList{"discarded 3F00000023F]", ZeroChecksumReply}));
        QCOMPARE(hangup.framesReceived(), 2);
    }
    void hostileByteStream() {
        // 401 characters from "[" without "]" are noise, not a frame.
        const QByteArray overlong = "[" + QByteArray(400, '9');
        const QByteArray stream = QByteArray("\x00\xFFnoise", 7) + ChecksumFrame       // #1
                                  + "[3F00"                                            // cut off
                                  + commandFrame(blockWriteCommand(2, blockPattern())) // #2
                                  + "]]" + BadSumChecksumFrame                         // #3 bad sum
                                  + overlong + "]"                                     // noise
                                  + FirstBlockReadFrame                                // #4
                                  + "[C8003A00000023F]"                                // #5 unknown
                                  + ChecksumFrame                                      // #6
                                  + "trailing[6E00";                                   // unfinished
        const QByteArray discarded =
            QByteArray("\x00\xFFnoise", 7) + "[3F00" + "]]" + overlong + "]" + "trailing";
        // Frame 6 has a fault: the bad and unknown frames count.
        const QByteArrayList replies{ZeroChecksumReply, BlockWrittenReply, "", ZeroBlockReply, "",
                                     "[A584C286EE]"};

        // Whole, a byte at a time, and in random pieces.
        QRandomGenerator random(20261206);
        for (int round = 0; round < 22; ++round) {
            Controller controller = withFaults({"badsum@6"});
            QByteArray thrown;
            QByteArrayList answered;
            for (qsizetype at = 0, n = 0; at < stream.size(); at += n) {
                n = qMin<qsizetype>(round == 0   ? stream.size()
                                    : round == 1 ? 1
                                                 : random.bounded(1, 60),
                                    stream.size() - at);
                for (const Received& r : controller.feed(QByteArrayView(stream).sliced(at, n))) {
                    if (r.frame == 0) {
                        thrown += r.bytes;
                    } else {
                        QCOMPARE(r.frame, int(answered.size()) + 1);
                        answered << r.reply;
                    }
                }
            }
            QCOMPARE(answered, replies);
            QCOMPARE(thrown, discarded);
            QVERIFY(controller.image() == blockPattern());
            // The unfinished frame at the end completes with the next input.
            QCOMPARE(controller.feed("39000003F]").front().reply, ZeroBlockReply);
        }
    }
    void linePieces() {
        using namespace std::chrono;
        Controller controller = withFaults({"junk@1", "extra@1", "stale@1"});
        const Received r = controller.feed(ChecksumFrame).front();
        const steady_clock::time_point t0{};

        // Paced: each character goes out when it would have fully arrived, the frame's first.
        std::vector<LinePiece> pieces = replyPieces(r, true, t0, t0);
        QCOMPARE(int(pieces.size()), 12 + 1);
        QByteArray all;
        for (int k = 0; k < 12; ++k) {
            QCOMPARE(pieces[k].due - t0, wireTime(17) + wireTime(k + 1));
            QVERIFY(!pieces[k].afterClientRead);
            QCOMPARE(pieces[k].logLine.isEmpty(), k < 11);
            all += pieces[k].bytes;
        }
        QCOMPARE(pieces[0].bytes, QByteArray(JunkBytes) + "[");
        QCOMPARE(all, QByteArray(JunkBytes) + ZeroChecksumReply + ExtraBytes);
        QVERIFY(pieces[12].afterClientRead);
        QCOMPARE(pieces[12].bytes, QByteArray(StaleBytes));
        QVERIFY(pieces[12].due > pieces[11].due);
        // A line still busy with an earlier reply delays the start.
        pieces = replyPieces(r, true, t0, t0 + milliseconds(50));
        QCOMPARE(pieces[11].due - (t0 + milliseconds(50)), wireTime(12));

        QCOMPARE(wireTime(384).count(), 100'000'000); // 3840 bits at 38400 baud
    }

    // A reply's characters reach the adapter from 2 ms on, one a character time apart; its
    // timer ran out at 0. Hand-overs as "ms:bytes".
    void adapterHandOver_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::addColumn<int>("characters");
        QTest::addColumn<QString>("handOvers");
        QTest::newRow("4 characters, 16 ms") << 16 << 4 << "16:4";
        QTest::newRow("4 characters, 1 ms: the timer runs out before the last")
            << 1 << 4 << "3:3 4:1";
        QTest::newRow("12 characters, 16 ms") << 16 << 12 << "16:12";
        QTest::newRow("12 characters, 1 ms") << 1 << 12 << "3:3 4:4 5:4 6:1";
        QTest::newRow("134 characters, 16 ms: a full packet at the next frame")
            << 16 << 134 << "16:53 32:62 48:19";
        QTest::newRow("134 characters, 1 ms")
            << 1 << 134
            << "3:3 4:4 5:4 6:4 7:4 8:4 9:3 10:4 11:4 12:4 13:4 14:4 15:3 16:4 17:4 18:4 19:4 "
               "20:4 21:3 22:4 23:4 24:4 25:4 26:4 27:4 28:3 29:4 30:4 31:4 32:4 33:4 34:3 35:4 "
               "36:4 37:4";
        QTest::newRow("no adapter: as they arrive") << 0 << 2 << "2.26042:1 2.52083:1";
    }
    void adapterHandOver() {
        QFETCH(int, latencyMs);
        QFETCH(int, characters);
        QFETCH(QString, handOvers);
        using namespace std::chrono;
        const steady_clock::time_point t0{};
        std::vector<LinePiece> arrivals;
        arrivals.reserve(characters);
        for (int k = 0; k < characters; ++k) {
            arrivals.push_back(
                {t0 + milliseconds(2) + wireTime(k + 1), QByteArray(1, 'x'), false, {}});
        }
        UsbAdapter adapter(latencyMs, t0);
        QStringList seen;
        for (const LinePiece& piece : adapter.handOver(arrivals)) {
            seen << QStringLiteral("%1:%2")
                        .arg(duration<double, std::milli>(piece.due - t0).count())
                        .arg(piece.bytes.size());
        }
        QCOMPARE(seen.join(' '), handOvers);
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
