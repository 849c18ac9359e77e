#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "platform/serialport.h"
#include "tests/support/testhome.h"
#ifdef BREVANE_NC_SIM
#include "tools/nc-sim/simprocess.h"
#endif

namespace {

// The stand-in behind the line of standIn(): it drops the line at the fourth frame.
// tools/windows/test-wine.sh starts it so for the Wine COM port it names.
const QStringList StandInArguments{"--no-pacing", "--fault", "hangup@4"};
const QByteArray Request("[0A003F00000023F]");
const QByteArray ZeroImageReply("[34DA90190E]"); // from a controller holding 576 zero bytes

// Waits until n bytes are there; what is there then.
qint64 awaitBytes(SerialPort& port, qint64 n) {
    QElapsedTimer timer;
    timer.start();
    while (port.bytesWaiting() < n && timer.elapsed() < 10000 && port.waitForMore(1000)) {
    }
    return port.bytesWaiting();
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_ports = useFreshHome() + QStringLiteral("/Orvik Tessaly Net/ports"); }
    void portPaths() {
#ifdef Q_OS_WIN
        QCOMPARE(portPath(16, QStringLiteral("/f/ports"), true), QStringLiteral("COM16"));
#else
        // The ports folder decides, once it exists; a file of that name is no folder.
        QCOMPARE(portsFolder(), m_ports);
        QCOMPARE(systemPortPath(16), QStringLiteral("/dev/ttyS15"));
        QVERIFY(QDir().mkpath(m_ports));
        QCOMPARE(systemPortPath(5), m_ports + QStringLiteral("/COM5"));
        QVERIFY(QDir(m_ports).removeRecursively());
        QVERIFY(QFile(m_ports).open(QIODevice::WriteOnly));
        QCOMPARE(systemPortPath(5), QStringLiteral("/dev/ttyS4"));
        QVERIFY(QFile::remove(m_ports));
#endif
    }
    // A port whose entry links to nothing does not open, and stays inert (under Wine the
    // test run maps COM16 to the same nowhere).
    void missingPortDoesNotOpen() {
#ifndef Q_OS_WIN
        QVERIFY(QDir().mkpath(m_ports));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB0"), m_ports + "/COM16"));
#endif
        SystemSerialPort port;
        QVERIFY(!port.open(16));
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write(Request));
        QVERIFY(!port.waitForMore(0));
        QCOMPARE(port.takeAll(), QByteArray());
    }
    // The line's contract, on the platform's own port with the stand-in at the far end.
    void standIn() {
#ifdef BREVANE_NC_SIM
        constexpr int number = 7;
        SimProcess sim(StandInArguments + QStringList{"--port", QString::number(number)});
        QCOMPARE(sim.nextLine(), m_ports + QStringLiteral("/COM7"));
#else
        const int number = qEnvironmentVariableIntValue("BREVANE_TEST_COM");
        if (number == 0) {
            QSKIP("BREVANE_TEST_COM names no port with the stand-in behind it");
        }
#endif
        SystemSerialPort port;
        QVERIFY(port.open(number));
        QVERIFY(port.isOpen());
        QCOMPARE(port.bytesWaiting(), 0);
        QVERIFY(port.write(Request));
        QCOMPARE(awaitBytes(port, 12), 12);
        QCOMPARE(port.takeAll(), ZeroImageReply);
        QCOMPARE(port.bytesWaiting(), 0);
        // A reply still in the driver is counted and taken, or dropped by discardInput().
        QVERIFY(port.write(Request));
        QThread::msleep(500);
        QCOMPARE(port.bytesWaiting(), 12);
        QCOMPARE(port.takeAll(), ZeroImageReply);
        QVERIFY(port.write(Request));
        QThread::msleep(500);
        port.discardInput();
        QCOMPARE(port.bytesWaiting(), 0);
        // Nothing comes: the wait lasts its time and is no failure.
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!port.waitForMore(300));
        QVERIFY2(timer.elapsed() >= 250, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!port.failed());

        // The far end drops the line at this frame.
        QVERIFY(port.write(Request));
        QCOMPARE(awaitBytes(port, 1), 0);
        QVERIFY(port.failed());
        QVERIFY(!port.write(Request));
        port.close();
        QVERIFY(!port.isOpen());
    }

private:
    QString m_ports;
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
