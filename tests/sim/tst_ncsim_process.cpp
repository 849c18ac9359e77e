// The real brevane-nc-sim program, driven through a real serial port on its
// pseudo-terminal.

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>
#include <QtTest>
#include <memory>

#include "tests/link/farend.h"
#include "tests/support/testhome.h"
#include "tools/nc-sim/controller.h"
#include "tools/nc-sim/simprocess.h"

namespace {

constexpr int Patience = SimProcess::Patience;

std::unique_ptr<QSerialPort> openPort(const QString& path) {
    auto port = std::make_unique<QSerialPort>(path); // a pseudo-terminal: no line settings
    if (!port->open(QIODevice::ReadWrite)) {
        qWarning("cannot open %s: %s", qPrintable(path), qPrintable(port->errorString()));
        return nullptr;
    }
    return port;
}

// Waits until at least n characters have come, then takes everything waiting.
QByteArray readAtLeast(QSerialPort& port, qsizetype n, int timeoutMs = Patience) {
    QDeadlineTimer deadline(timeoutMs);
    while (port.bytesAvailable() < n && !deadline.hasExpired() &&
           port.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    return port.readAll();
}

// One exchange: the frame out, the reply of the awaited length back, then a pause to
// see that nothing else follows.
QByteArray exchange(QSerialPort& port, const QByteArray& frame, qsizetype replyLength) {
    port.write(frame);
    port.waitForBytesWritten(Patience);
    const QByteArray reply = readAtLeast(port, replyLength);
    return reply + readAtLeast(port, 1, 100);
}

} // namespace

class TestNcSimProcess : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }
    void exchanges() {
        SimProcess sim({"--no-pacing"});
        const QString path = sim.nextLine();
        QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));
        auto port = openPort(path);
        QVERIFY(port);
        // Lower-case command digits and junk between frames are fine.
        QCOMPARE(exchange(*port, "xy" + commandFrame("3f00000023f"), 12), ZeroChecksumReply);
        // A frame with a wrong checksum gets no reply: only the good frame after it does.
        QCOMPARE(exchange(*port, "[0B003F00000023F]" + ChecksumFrame, 12), ZeroChecksumReply);
        // The line outlives the client closing and opening it again.
        port.reset();
        port = openPort(path);
        QVERIFY(port);
        QCOMPARE(exchange(*port, commandFrame(blockReadCommand(8)), 132),
                 "[6A" + QByteArray(128, '0') + "]");
        port.reset();
        QCOMPARE(sim.stop(), 0);
        const QString log = QString::fromLatin1(sim.standardError());
        for (const char* line :
             {R"(^ *\d+\.\d{3} ms  in  #1 \[.*\]$)", R"(^ *\d+\.\d{3} ms  out #1 \[34DA90190E\]$)",
              R"(in  discarded xy)", R"(#2 \[0B003F00000023F\]  \(ignored: wrong checksum\))"}) {
            const QRegularExpression expected(line, QRegularExpression::MultilineOption);
            QVERIFY2(log.contains(expected), qPrintable(log));
        }
    }
    void hangup_data() {
        QTest::addColumn<bool>("withPort");
        QTest::addColumn<QString>("signal");
        QTest::newRow("new path printed, SIGTERM") << false << QStringLiteral("-TERM");
        QTest::newRow("stale link replaced and renewed, SIGINT") << true << QStringLiteral("-INT");
    }
    void hangup() {
        QFETCH(bool, withPort);
        QFETCH(QString, signal);
        QStringList arguments{"--fault", "hangup@2"};
        const QString link = portsFolder() + QStringLiteral("/COM7");
        if (withPort) {
            arguments += QStringList{"--port", "7"};
            QVERIFY(QDir().mkpath(portsFolder()));
            QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-line"), link));
        }
        SimProcess sim(arguments);
        const QString first = sim.nextLine();
        QCOMPARE(first == link, withPort);
        const QString firstTarget = QFileInfo(first).canonicalFilePath();
        QVERIFY2(firstTarget.startsWith(QStringLiteral("/dev/pts/")), qPrintable(firstTarget));
        auto port = openPort(first);
        QVERIFY(port);
        QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);

        // Frame 2 drops the line without a reply.
        QCOMPARE(exchange(*port, ChecksumFrame, 12), QByteArray());
        port.reset();

        const QString second = withPort ? link : sim.nextLine();
        QVERIFY(QFileInfo(second).canonicalFilePath().startsWith(QStringLiteral("/dev/pts/")));
        QVERIFY(QFileInfo(second).canonicalFilePath() != firstTarget);
        port = openPort(second);
        QVERIFY(port);
        QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
        QCOMPARE(sim.stop(signal), 0);
        QCOMPARE(sim.standardOutput(), QByteArray()); // with a link, nothing more is printed
        const QString log = QString::fromLatin1(sim.standardError());
        QVERIFY2(log.contains(QStringLiteral("in  #2 [0A003F00000023F]  (hangup)")),
                 qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("paced at 38400 baud")), 2);
        QVERIFY(!QFileInfo(link).isSymLink());
    }
    void pacedFaults() {
        // Paced, stale bytes still wait for the client to take the reply.
        SimProcess sim({"--quiet", "--fault", "stale@1"});
        auto port = openPort(sim.nextLine());
        QVERIFY(port);
        port->write(ChecksumFrame);
        QCOMPARE(readAtLeast(*port, 12), ZeroChecksumReply);
        QCOMPARE(readAtLeast(*port, 3), QByteArray(StaleBytes));
        // A block read takes at least its wire time, the frame's own and the reply's.
        const QByteArray frame = commandFrame(blockReadCommand(0));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(exchange(*port, frame, BlockReadReplyLength).size(), BlockReadReplyLength);
        const qint64 wireNs = wireTime(frame.size() + BlockReadReplyLength).count();
        QVERIFY2(timer.nsecsElapsed() >= wireNs * 8 / 10, qPrintable(QString::number(wireNs)));
        QCOMPARE(sim.stop(), 0);
    }
    void badArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("port 0") << QStringList{"--port", "0"}
                                << "--port takes a number from 1 to 16";
        QTest::newRow("port 17") << QStringList{"--port", "17"}
                                 << "--port takes a number from 1 to 16";
        QTest::newRow("port not a number") << QStringList{"--port", "COM1"} << "not 'COM1'";
        QTest::newRow("port linked to a device")
            << QStringList{"--port", "4"} << "already links to /dev/null";
        QTest::newRow("unknown fault")
            << QStringList{"--fault", "noise"} << "unknown fault 'noise'";
        QTest::newRow("fault frame 0") << QStringList{"--fault", "silent@0"} << "must be 1 or more";
        QTest::newRow("unknown option") << QStringList{"--baud", "9600"} << "Unknown option 'baud'";
        QTest::newRow("state file in no folder")
            << QStringList{"--state", "/no/such/folder/site.BRV"} << "its folder does not exist";
        QTest::newRow("state file too short")
            << QStringList{"--state", QDir::homePath() + "/short.BRV"}
            << "The file holds 100 bytes; a configuration file holds 576.";
        QTest::newRow("stray argument") << QStringList{"COM1"} << "unexpected argument 'COM1'";
    }
    void badArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFile shortFile(QDir::homePath() + "/short.BRV");
        QVERIFY(shortFile.open(QIODevice::WriteOnly) && shortFile.write(QByteArray(100, '\x01')));
        shortFile.close();
        const QString link = portsFolder() + QStringLiteral("/COM4");
        QVERIFY(QDir().mkpath(portsFolder()));
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        SimProcess sim(arguments);
        QCOMPARE(sim.finish(), 2);
        QCOMPARE(sim.standardOutput(), QByteArray());
        const QString error = QString::fromLocal8Bit(sim.standardError());
        QCOMPARE(error.count(u'\n'), 1);
        QVERIFY2(error.startsWith(QStringLiteral("brevane-nc-sim: ")), qPrintable(error));
        QVERIFY2(error.contains(message), qPrintable(error));
        // Left as they were.
        QCOMPARE(QFileInfo(link).symLinkTarget(), QStringLiteral("/dev/null"));
        QCOMPARE(shortFile.size(), qint64(100));
        QCOMPARE(
            QDir(portsFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
            QStringList{"COM4"});
    }
};

QTEST_GUILESS_MAIN(TestNcSimProcess)
#include "tst_ncsim_process.moc"
