// The runners on the scripted far end: the progress line on a terminal, and the trace.

#include <QtTest>

#include "files/brvfile.h"
#include "tests/link/farend.h"
#include "tests/support/testhome.h"
#include "tools/cli/clicore.h"

namespace {

struct Rig : FakeEnd {
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    Console console{outStream, errStream};
    LinkSettings link;

    Rig() {
        link.line = &line;
        link.clock = &clock;
    }
    // Standard error's lines, trace lines without their time stamps; fails when one has none.
    QStringList errLines() {
        outStream.flush();
        errStream.flush();
        static const QRegularExpression stamp(QStringLiteral("^ *\\d+\\.\\d{3} ms  "));
        QStringList lines;
        for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = stamp.match(line);
            lines << (match.hasMatch() ? line.mid(match.capturedLength()) : "UNSTAMPED " + line);
        }
        return lines;
    }
};

} // namespace

class TestCliCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }

    void progressLine_data() {
        QTest::addColumn<bool>("upload");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("trace");
        QTest::addColumn<int>("silentFrame"); // 10: none
        QTest::addColumn<int>("status");

        QTest::newRow("download on a terminal") << false << true << false << 10 << 0;
        QTest::newRow("download failing on block 4") << false << true << false << 3 << 4;
        QTest::newRow("upload failing at the checksum") << true << true << false << 9 << 52;
        QTest::newRow("download into a pipe") << false << false << false << 10 << 0;
        QTest::newRow("upload with a trace") << true << true << true << 10 << 0;
    }

    void progressLine() {
        QFETCH(bool, upload);
        QFETCH(bool, terminal);
        QFETCH(bool, trace);
        QFETCH(int, silentFrame);
        QFETCH(int, status);
        Rig rig;
        rig.console.progressLine = terminal;
        rig.link.trace = trace;
        rig.controller.faults[silentFrame] = FakeController::Silent;
        const QString label = upload ? QStringLiteral("Upload") : QStringLiteral("Download");
        const QString file = QDir::homePath() + QStringLiteral("/site.BRV");
        QFile::remove(file);
        QVERIFY(upload || writeBrvFile(file, CnfTable{}));
        QCOMPARE(upload ? runUpload(file, rig.link, rig.console)
                        : runDownload(file, rig.link, rig.console),
                 status);
        const QStringList lines = rig.errLines();
        if (trace) {
            QVERIFY2(!rig.err.contains(QLatin1Char('\r')), qPrintable(rig.err));
            QCOMPARE(lines.size(), 2 + 2 * 10); // opened, ten exchanges, closed
            return;
        }
        QString progress;
        for (int value = 0; terminal && value <= std::min(silentFrame, 9); ++value) {
            progress += QStringLiteral("\r%1: %2 of 9 blocks").arg(label).arg(value);
        }
        progress += terminal ? "\n" : "";
        if (status != 0) {
            progress += QStringLiteral("%1 Error: %2\n").arg(label).arg(status);
        }
        QCOMPARE(rig.err.left(progress.size()), progress);
        QCOMPARE(rig.err.count(QLatin1Char('\r')), progress.count(QLatin1Char('\r')));
        QCOMPARE(rig.out, status == 0 ? label + " Complete\n" : QString());
    }
    // Verify's one exchange; a trace ending "checksum holds" is a match, any other an error.
    void trace_data() {
        QTest::addColumn<QByteArray>("waiting"); // on the line before the command
        QTest::addColumn<int>("fault"); // the far end's; -1: the write fails, -2: the line drops
        QTest::addColumn<QStringList>("expected");

        const QString sent = QStringLiteral("sent     [0A003F00000023F]");
        const QString holds = QStringLiteral("received [34DA90190E]  checksum holds");
        QTest::newRow("answered") << QByteArray() << 0 << QStringList{sent, holds};
        QTest::newRow("stale bytes thrown away")
            << QByteArray("\x01z\\\xF0\x7F", 5) << 0
            << QStringList{R"(discarded \x01z\\\xF0\x7F)", sent, holds};
        QTest::newRow("junk before the reply")
            << QByteArray() << int(FakeController::Junk)
            << QStringList{sent, "received \\x00\\xFFzz[34DA90190E]  checksum wrong"};
        QTest::newRow("half a reply")
            << QByteArray() << int(FakeController::Short)
            << QStringList{sent, "no reply within the time-out, waiting: [34DA90190E"};
        QTest::newRow("write refused")
            << QByteArray() << -1 << QStringList{sent + "  (the line failed)"};
        QTest::newRow("line dropped")
            << QByteArray() << -2 << QStringList{sent, "no reply: the line failed"};
    }

    void trace() {
        QFETCH(QByteArray, waiting);
        QFETCH(int, fault);
        QFETCH(QStringList, expected);
        Rig rig;
        rig.link.trace = true;
        rig.link.portNumber = 4;
        rig.controller.faults[0] = FakeController::Fault(std::max(fault, 0));
        rig.line.failWriteAt = fault == -1 ? 0 : -1;
        rig.line.hangUpAt = fault == -2 ? 0 : -1;
        rig.line.arriveNow(waiting); // comes in once the port is open, before the command
        const QString file = QDir::homePath() + QStringLiteral("/zero.BRV");
        QVERIFY(writeBrvFile(file, CnfTable{}));
        const bool matches = expected.last().endsWith(QStringLiteral("holds"));
        QCOMPARE(runVerify(file, rig.link, rig.console), matches ? 0 : 52);
        expected.prepend("opened COM4 (" + systemPortPath(4) + ")");
        expected << QStringLiteral("closed");
        if (!matches) {
            expected << "UNSTAMPED Verify Error: 52"
                     << "UNSTAMPED The controller gave no valid answer to the checksum request.";
        }
        QCOMPARE(rig.errLines(), expected);
        QCOMPARE(rig.out, matches ? "Controller matches " + file + "\n" : QString());
        QCOMPARE(rig.line.closes, 1);
    }
};

QTEST_GUILESS_MAIN(TestCliCore)
#include "tst_clicore.moc"
