// The real brevane-nc-sim program through a real serial port on its pseudo-terminal: the
// line outlives a client, and a hang-up gives a fresh one under the same name.

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QtTest>
#include <memory>

#include "tests/support/fakeline.h"
#include "tests/support/testhome.h"
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
    void hangUpRenewsTheLine() {
        useFreshHome();
        // A stale link where the port goes is replaced.
        const QString link = QDir::homePath() + "/Orvik Tessaly Net/ports/COM7";
        QVERIFY(QDir().mkpath(QFileInfo(link).path()));
        QVERIFY(QFile::link(QStringLiteral("/dev/pts/no-such-line"), link));
        SimProcess sim({"--fault", "hangup@3", "--port", "7"});
        QCOMPARE(sim.nextLine(), link);
        const QString firstTarget = QFileInfo(link).canonicalFilePath();
        QVERIFY2(firstTarget.startsWith(QStringLiteral("/dev/pts/")), qPrintable(firstTarget));
        auto port = openPort(link);
        QVERIFY(port);
        QCOMPARE(exchange(*port, "xy" + ChecksumFrame, 12), ZeroChecksumReply);
        port.reset(); // closed and opened again by the client
        port = openPort(link);
        QVERIFY(port);
        QCOMPARE(exchange(*port, QByteArray("[6E0039000003F]"), 132),
                 "[6A" + QByteArray(128, '0') + "]");
        QCOMPARE(exchange(*port, ChecksumFrame, 12), QByteArray()); // dropped, no reply
        port.reset();
        const QString secondTarget = QFileInfo(link).canonicalFilePath();
        QVERIFY2(secondTarget.startsWith(QStringLiteral("/dev/pts/")), qPrintable(secondTarget));
        QVERIFY(secondTarget != firstTarget);
        port = openPort(link);
        QVERIFY(port);
        QCOMPARE(exchange(*port, ChecksumFrame, 12), ZeroChecksumReply);
        port.reset();
        QCOMPARE(sim.stop(QStringLiteral("-INT")), 0);
        QCOMPARE(sim.standardOutput(), QByteArray()); // nothing more printed after the link
        QVERIFY(!QFileInfo(link).isSymLink());        // removed on the way out
    }
};

QTEST_GUILESS_MAIN(TestNcSimProcess)
#include "tst_ncsim_process.moc"
