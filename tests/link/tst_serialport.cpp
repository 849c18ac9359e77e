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
    void missingPortsDoNotOpen_data() {
        QTest::addColumn<QString>("setUp");
        QTest::newRow("no entry in the ports folder") << "empty folder";
        QTest::newRow("entry links to nothing") << "dangling link";
        QTest::newRow("no ports folder, no ttyS15") << "no folder";
    }
    void missingPortsDoNotOpen() {
#ifdef Q_OS_WIN
        QSKIP("needs the ports folder");
#else
        QFETCH(QString, setUp);
        QDir(m_ports).removeRecursively();
        if (setUp == QLatin1String("no folder") && QFile::exists(QStringLiteral("/dev/ttyS15"))) {
            QSKIP("this machine has a /dev/ttyS15");
        }
        if (setUp != QLatin1String("no folder")) {
            QVERIFY(QDir().mkpath(m_ports));
        }
        if (setUp == QLatin1String("dangling link")) {
            QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB0"), m_ports + "/COM16"));
        }
        SystemSerialPort port;
        QVERIFY(!port.open(16));
        // A port that never opened is inert.
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
