#include <QtTest>

#include <QDir>
#include <QFile>

#include "platform/serialport.h"
#include "tests/support/testhome.h"

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_ports = useFreshHome() + QStringLiteral("/Orvik Tessaly Net/ports"); }
    void portPaths() {
#ifdef Q_OS_WIN
        QCOMPARE(portPath(16, QStringLiteral("/f/ports"), true), QStringLiteral("COM16"));
#else
        QCOMPARE(portPath(1, QStringLiteral("/f/ports"), false), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(portPath(16, QStringLiteral("/f/ports"), false), QStringLiteral("/dev/ttyS15"));
        QCOMPARE(portPath(12, QStringLiteral("/f/ports"), true), QStringLiteral("/f/ports/COM12"));
        // The ports folder decides, once it exists; a file of that name is no folder.
        QCOMPARE(portsFolder(), m_ports);
        QCOMPARE(systemPortPath(5), QStringLiteral("/dev/ttyS4"));
        QVERIFY(QDir().mkpath(m_ports));
        QCOMPARE(systemPortPath(5), m_ports + QStringLiteral("/COM5"));
        QVERIFY(QDir(m_ports).removeRecursively());
        QFile file(m_ports);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(systemPortPath(5), QStringLiteral("/dev/ttyS4"));
        QVERIFY(QFile::remove(m_ports));
#endif
    }
    // A port whose entry links to nothing does not open, and stays inert.
    void missingPortDoesNotOpen() {
#ifdef Q_OS_WIN
        QSKIP("needs the ports folder");
#else
        QVERIFY(QDir().mkpath(m_ports));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB0"), m_ports + "/COM16"));
        QtSerialPort port;
        QVERIFY(!port.open(16));
        QVERIFY(!port.isOpen());
        QVERIFY(!port.failed());
        QVERIFY(!port.write("[0A003F00000023F]"));
        QVERIFY(!port.waitForMore(0));
        QCOMPARE(port.bytesWaiting(), 0);
        QCOMPARE(port.takeAll(), QByteArray());
#endif
    }

private:
    QString m_ports;
};

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
