#include <QRandomGenerator>
#include <QtTest>

#include "tests/support/controllerend.h"
#include "tools/nc-sim/controller.h"

namespace {

const QByteArray C = ZeroChecksumReply;
const QByteArray ZeroBlockReply = "[6A" + QByteArray(128, '0') + "]";
const QByteArray PatternBlockReply = replyFrame(blockHex(blockPattern(), 2));

std::vector<Fault> faultsFrom(const QStringList& names) {
    std::vector<Fault> faults;
    for (const QString& name : names) {
        faults.push_back(parseFault(name).value());
    }
    return faults;
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
    void replies_data() {
        QTest::addColumn<QString>("faults");   // comma-separated
        QTest::addColumn<QByteArray>("input"); // sent three times
        QTest::addColumn<QByteArrayList>("expected");
        const QByteArray junk = JunkBytes;
        const QByteArray stale = StaleBytes;
        const QByteArray read = "[6E0039000003F]";
        const QByteArray write = commandFrame(blockWriteCommand(0, ControllerImage{}));
        using L = QByteArrayList;
        const L reads{ZeroBlockReply, ZeroBlockReply, ZeroBlockReply};
        const auto f = [](const char* names) { return QString::fromLatin1(names); };
        QTest::newRow("checksum request") << f("") << ChecksumFrame << L{C, C, C};
        QTest::newRow("block read") << f("") << read << reads;
        QTest::newRow("wrong checksum")
            << f("stale") << QByteArray("[0B003F00000023F]") << L{"", "", ""};
        // 401 characters from "[" without "]" are noise, not a frame.
        QTest::newRow("overlong frame") << f("") << "[" + QByteArray(400, '0') + "]"
                                        << L{"discarded [" + QByteArray(400, '0') + "]"};
        QTest::newRow("silent@2") << f("silent@2") << ChecksumFrame << L{C, "", C};
        QTest::newRow("badsum@1") << f("badsum@1") << ChecksumFrame << L{"[35DA90190E]", C, C};
        QTest::newRow("short on a block read")
            << f("short@1") << read << L{ZeroBlockReply.chopped(1), ZeroBlockReply, ZeroBlockReply};
        QTest::newRow("lower and badsum together")
            << f("lower@2,badsum@2") << ChecksumFrame << L{C, "[a6da90190e]", C};
        QTest::newRow("high") << f("high@3") << ChecksumFrame << L{C, C, "[B7256F190E]"};
        QTest::newRow("stale with silent: no reply, nothing after it")
            << f("stale,silent@1") << ChecksumFrame
            << L{"", C + " then " + stale, C + " then " + stale};
        QTest::newRow("hangup@2") << f("hangup@2") << ChecksumFrame << L{C, "hangup", C};
        QTest::newRow("every shape at once") << f("short@2,junk@2,extra@2,stale@2") << ChecksumFrame
                                             << L{C, junk + C.chopped(1) + "~~ then " + stale, C};
    }
    void replies() {
        QFETCH(QString, faults);
        QFETCH(QByteArray, input);
        QFETCH(QByteArrayList, expected);
        Controller controller(faultsFrom(faults.split(u',', Qt::SkipEmptyParts)));
        QByteArrayList got;
        for (qsizetype n = 0; n < expected.size(); ++n) {
            got += seen(controller.feed(input));
        }
        QCOMPARE(got, expected);
        const int frames = input.startsWith('[') && input.size() < 400 ? 3 : 0;
        QCOMPARE(controller.framesReceived(), frames);
        QVERIFY(controller.image() == ControllerImage{});
        // Nothing is left half-read: the next frame is taken whole.
        const std::vector<Received> next = controller.feed(ChecksumFrame);
        QCOMPARE(int(next.size()), 1);
        QCOMPARE(next.front().frame, frames + 1);
    }
    void silentStillStoresHangupDoesNot() {
        const QByteArray write = commandFrame(blockWriteCommand(2, blockPattern()));
        Controller silent(faultsFrom({QStringLiteral("silent")}));
        QCOMPARE(seen(silent.feed(write)), QByteArrayList{""});
        QVERIFY(silent.image() == blockPattern());

        // The line drops as the frame arrives: nothing of it or after it is taken.
        Controller hangup(faultsFrom({QStringLiteral("hangup@1")}));
        QCOMPARE(seen(hangup.feed(write + ChecksumFrame + "[0A00")), QByteArrayList{"hangup"});
        QVERIFY(hangup.image() == ControllerImage{});
        // Nothing that followed on the dropped line joins the next line's input.
        QCOMPARE(seen(hangup.feed("3F00000023F]" + ChecksumFrame)),
                 (QByteArrayList{"discarded 3F00000023F]", C}));
        QCOMPARE(hangup.framesReceived(), 2);
    }
    void hostileByteStream() {
        const QByteArray overlong = "[" + QByteArray(450, '9');
        const QByteArray stream = QByteArray("\x00\xFFnoise", 7) + ChecksumFrame       // #1
                                  + "[3F00"                                            // cut off
                                  + commandFrame(blockWriteCommand(2, blockPattern())) // #2
                                  + "]]" + "[0B003F00000023F]"                         // #3 bad sum
                                  + overlong + "]"                                     // noise
                                  + commandFrame(blockReadCommand(2))                  // #4
                                  + "[C8003A00000023F]"                                // #5 unknown
                                  + ChecksumFrame                                      // #6
                                  + "trailing[6E00";                                   // unfinished
        const QByteArray discarded =
            QByteArray("\x00\xFFnoise", 7) + "[3F00" + "]]" + overlong + "]" + "trailing";
        // Frame 6 has a fault: the bad and unknown frames count.
        const QByteArrayList replies{C, "[F500]", "", PatternBlockReply, "", "[A584C286EE]"};

        // Whole, a byte at a time, and in random pieces.
        QRandomGenerator random(20261206);
        for (int round = 0; round < 22; ++round) {
            Controller controller(faultsFrom({QStringLiteral("badsum@6")}));
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
        Controller controller(faultsFrom({"junk@1", "extra@1", "stale@1"}));
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
        QCOMPARE(all, QByteArray(JunkBytes) + C + ExtraBytes);
        QVERIFY(pieces[12].afterClientRead);
        QCOMPARE(pieces[12].bytes, QByteArray(StaleBytes));
        QVERIFY(pieces[12].due > pieces[11].due);
        // A line still busy with an earlier reply delays the start.
        pieces = replyPieces(r, true, t0, t0 + milliseconds(50));
        QCOMPARE(pieces[11].due - (t0 + milliseconds(50)), wireTime(12));

        QCOMPARE(wireTime(384).count(), 100'000'000); // 3840 bits at 38400 baud
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
