// The command runners on the scripted far end: what reaches a terminal (the progress
// line) and the trace, which the real program can only show to a person.

#include <QRegularExpression>
#include <QtTest>

#include "files/brvfile.h"
#include "tests/link/farend.h"
#include "tests/support/testhome.h"
#include "tools/cli/clicore.h"

namespace {

struct Rig {
    FakeClock clock;
    FakeLine line{clock};
    FakeController controller;
    QString out;
    QString err;
    QTextStream outStream{&out};
    QTextStream errStream{&err};
    Console console{outStream, errStream};
    LinkSettings link;

    Rig() {
        line.setResponder(controller.responder());
        link.line = &line;
        link.clock = &clock;
    }
    // What the streams hold so far.
    void flush() {
        outStream.flush();
        errStream.flush();
    }
};

QString progressLines(const QString& label, int last) {
    QString text;
    for (int value = 0; value <= last; ++value) {
        text += QStringLiteral("\r%1: %2 of 9 blocks").arg(label).arg(value);
    }
    return text + QLatin1Char('\n');
}

// Trace lines without their time stamps; fails when one has none.
QStringList unstamped(const QString& err) {
    static const QRegularExpression stamp(QStringLiteral("^ *\\d+\\.\\d{3} ms  "));
    QStringList lines;
    for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = stamp.match(line);
        lines << (match.hasMatch() ? line.mid(match.capturedLength()) : "UNSTAMPED " + line);
    }
    return lines;
}

} // namespace

class TestCliCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void progressLine_data();
    void progressLine();
    void trace_data();
    void trace();
    void uploadWritesOnlyAVerifiedTable();
};

void TestCliCore::initTestCase() {
    useFreshHome();
}

void TestCliCore::progressLine_data() {
    QTest::addColumn<bool>("upload");
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<bool>("trace");
    QTest::addColumn<int>("silentFrame"); // -1: none
    QTest::addColumn<QString>("expectedProgress");
    QTest::addColumn<int>("status");

    QTest::newRow("download on a terminal")
        << false << true << false << -1 << progressLines("Download", 9) << 0;
    QTest::newRow("upload on a terminal")
        << true << true << false << -1 << progressLines("Upload", 9) << 0;
    QTest::newRow("download failing on block 4")
        << false << true << false << 3 << progressLines("Download", 3) << 4;
    QTest::newRow("upload failing at the checksum")
        << true << true << false << 9 << progressLines("Upload", 9) << 52;
    QTest::newRow("download into a pipe") << false << false << false << -1 << QString() << 0;
    QTest::newRow("upload with a trace") << true << true << true << -1 << QString() << 0;
}

void TestCliCore::progressLine() {
    QFETCH(bool, upload);
    QFETCH(bool, terminal);
    QFETCH(bool, trace);
    QFETCH(int, silentFrame);
    QFETCH(QString, expectedProgress);
    QFETCH(int, status);
    Rig rig;
    rig.console.progressLine = terminal;
    rig.link.trace = trace;
    if (silentFrame >= 0) {
        rig.controller.faults[silentFrame] = FakeController::Silent;
    }
    const QString file = QDir::homePath() + QStringLiteral("/site.BRV");
    QFile::remove(file);
    if (!upload) {
        QVERIFY(writeBrvFile(file, CnfTable{}));
    }
    QCOMPARE(upload ? runUpload(file, rig.link, rig.console)
                    : runDownload(file, rig.link, rig.console),
             status);
    rig.flush();
    if (trace) {
        QVERIFY2(!rig.err.contains(QLatin1Char('\r')), qPrintable(rig.err));
        QCOMPARE(unstamped(rig.err).size(), 2 + 2 * 10); // opened, ten exchanges, closed
        return;
    }
    QVERIFY2(rig.err.startsWith(expectedProgress), qPrintable(rig.err));
    const QString message = rig.err.mid(expectedProgress.size()) + rig.out;
    QVERIFY2(!message.contains(QLatin1Char('\r')), qPrintable(message));
    if (status == 0) {
        QCOMPARE(rig.out, upload ? QStringLiteral("Upload Complete\n")
                                 : QStringLiteral("Download Complete\n"));
    } else {
        QCOMPARE(rig.out, QString());
        QVERIFY2(
            message.startsWith(
                QStringLiteral("%1 Error: %2\n").arg(upload ? "Upload" : "Download").arg(status)),
            qPrintable(message));
    }
}

void TestCliCore::trace_data() {
    QTest::addColumn<QByteArray>("waiting"); // on the line before the command
    QTest::addColumn<int>("fault");
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("expected"); // after "opened ..."

    const QString sent = QStringLiteral("sent     [0A003F00000023F]");
    QTest::newRow("answered") << QByteArray() << int(FakeController::NoFault) << false << false << 0
                              << QStringList{sent, "received [34DA90190E]  checksum holds",
                                             "closed"};
    QTest::newRow("stale bytes thrown away")
        << QByteArray("\x01z\\\xF0", 4) << int(FakeController::NoFault) << false << false << 0
        << QStringList{R"(discarded \x01z\\\xF0)", sent, "received [34DA90190E]  checksum holds",
                       "closed"};
    QTest::newRow("junk before the reply")
        << QByteArray() << int(FakeController::Junk) << false << false << 52
        << QStringList{sent, "received \\x00\\xFFzz[34DA90190E]  checksum wrong", "closed"};
    QTest::newRow("half a reply") << QByteArray() << int(FakeController::Short) << false << false
                                  << 52
                                  << QStringList{sent,
                                                 "no reply within the time-out, waiting: "
                                                 "[34DA90190E",
                                                 "closed"};
    QTest::newRow("write refused") << QByteArray() << int(FakeController::NoFault) << true << false
                                   << 52 << QStringList{sent + "  (the line failed)", "closed"};
    QTest::newRow("line dropped") << QByteArray() << int(FakeController::NoFault) << false << true
                                  << 52 << QStringList{sent, "no reply: the line failed", "closed"};
}

void TestCliCore::trace() {
    QFETCH(QByteArray, waiting);
    QFETCH(int, fault);
    QFETCH(bool, writeFails);
    QFETCH(bool, hangUp);
    QFETCH(int, status);
    QFETCH(QStringList, expected);
    Rig rig;
    rig.link.trace = true;
    rig.link.portNumber = 4;
    rig.controller.faults[0] = FakeController::Fault(fault);
    rig.line.failWriteAt = writeFails ? 0 : -1;
    rig.line.hangUpAt = hangUp ? 0 : -1;
    if (!waiting.isEmpty()) {
        // Comes in once the port is open, before the command.
        rig.line.arriveNow(waiting);
    }
    const QString file = QDir::homePath() + QStringLiteral("/zero.BRV");
    QVERIFY(writeBrvFile(file, CnfTable{}));
    QCOMPARE(runVerify(file, rig.link, rig.console), status);
    rig.flush();
    QStringList lines = unstamped(rig.err);
    if (status == 52) {
        QCOMPARE(lines.mid(lines.size() - 2),
                 QStringList({"UNSTAMPED Verify Error: 52",
                              "UNSTAMPED The controller gave no valid answer to the checksum "
                              "request."}));
        lines.resize(lines.size() - 2);
    } else {
        QCOMPARE(rig.out, "Controller matches " + file + "\n");
    }
    QCOMPARE(lines, QStringList{"opened COM4 (" + systemPortPath(4) + ")"} + expected);
    QCOMPARE(rig.line.closes, 1);
}

void TestCliCore::uploadWritesOnlyAVerifiedTable() {
    for (const FakeController::Fault fault : {FakeController::High, FakeController::NoFault}) {
        Rig rig;
        for (int i = 0; i < CnfBytes; ++i) {
            rig.controller.image[i] = std::uint8_t(i * 5 + 1);
        }
        rig.controller.faults[9] = fault;
        const QString file = QDir::homePath() + QStringLiteral("/uploaded.BRV");
        QFile::remove(file);
        const int status = runUpload(file, rig.link, rig.console);
        rig.flush();
        if (fault == FakeController::High) {
            QCOMPARE(status, 61);
            QVERIFY(!QFileInfo::exists(file));
            QCOMPARE(rig.err, QStringLiteral("Upload Error: 61\nAll Host Data Cleared.\n%1 not "
                                             "written.\n")
                                  .arg(file));
        } else {
            QCOMPARE(status, 0);
            const std::optional<CnfTable> written = readBrvFile(file);
            QVERIFY(written);
            QVERIFY(*written == tableFromImage(rig.controller.image));
            QCOMPARE(rig.out, QStringLiteral("Upload Complete\n"));
        }
        QCOMPARE(rig.line.frames.size(), 10);
    }
}

QTEST_GUILESS_MAIN(TestCliCore)
#include "tst_clicore.moc"
