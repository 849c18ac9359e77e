// The real brevane-nc-sim program through a real serial port on its pseudo-terminal: the
// line outlives a client, and a hang-up gives a fresh one under the same name.

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QtTest>

#include "tests/support/fakeline.h"
#include "tests/support/simprocess.h"
#include "tests/support/testhome.h"

namespace {

constexpr int Patience = SimProcess::Patience;

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
    void hangUpRenewsTheLine() {
        useFreshHome();
        // A stale link where the port goes is replaced.
        const QString link = QDir::homePath() + "/Orvik Tessaly Net/ports/COM200";
        QVERIFY(QDir().mkpath(QFileInfo(link).path()));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-line"), link));
        SimProcess sim({"--fault", "hangup@3", "--port", "200"});
        QCOMPARE(sim.nextLine(), link);
        const QString firstTarget = QFileInfo(link).canonicalFilePath();
        // Two clients in turn, a third whose frame hangs up, a fourth on the fresh line.
        for (const QByteArray& reply :
             {ZeroChecksumReply, ZeroChecksumReply, QByteArray(), ZeroChecksumReply}) {
            QSerialPort port(link); // a pseudo-terminal: no line settings
            QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
            QCOMPARE(exchange(port, "xy" + ChecksumFrame, 12), reply);
        }
        const QString secondTarget = QFileInfo(link).canonicalFilePath();
        QVERIFY2(secondTarget.startsWith(QStringLiteral("/dev/pts/")), qPrintable(secondTarget));
        QVERIFY(secondTarget != firstTarget);
        QCOMPARE(sim.stop(QStringLiteral("-INT")), 0);
        QCOMPARE(sim.standardOutput(), QByteArray()); // nothing more printed after the link
        QVERIFY(!QFileInfo(link).isSymLink());        // removed on the way out
    }
};

QTEST_GUILESS_MAIN(TestNcSimProcess)
#include "tst_ncsim_process.moc"
