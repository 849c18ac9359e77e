#include <QtTest>

#include <QDir>
#include <QFile>

#include "platform/serialport.h"
#include "tests/support/testhome.h"

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void portPaths_data();
    void portPaths();
    void portsFolderDecides();
    void missingPortsDoNotOpen_data();
    void missingPortsDoNotOpen();

private:
    QString m_ports;
};

void TestSerialPort::initTestCase() {
    m_ports = useFreshHome() + QStringLiteral("/Orvik Tessaly Net/ports");
}

void TestSerialPort::portPaths_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QString>("path");
#ifdef Q_OS_WIN
    QTest::newRow("COM16 with a folder") << 16 << true << "COM16";
#else
    QTest::newRow("COM1 without the folder") << 1 << false << "/dev/ttyS0";
    QTest::newRow("COM16 without the folder") << 16 << false << "/dev/ttyS15";
    QTest::newRow("COM12 in the folder") << 12 << true << "/f/ports/COM12";
#endif
}

void TestSerialPort::portPaths() {
    QFETCH(int, port);
    QFETCH(bool, folderExists);
    QFETCH(QString, path);
    QCOMPARE(portPath(port, QStringLiteral("/f/ports"), folderExists), path);
}

void TestSerialPort::portsFolderDecides() {
#ifdef Q_OS_WIN
    QSKIP("Windows names its ports itself");
#else
    QCOMPARE(portsFolder(), m_ports);
    QCOMPARE(systemPortPath(5), QStringLiteral("/dev/ttyS4"));
    QVERIFY(QDir().mkpath(m_ports));
    QCOMPARE(systemPortPath(5), m_ports + QStringLiteral("/COM5"));
    // A file of that name is no folder.
    QVERIFY(QDir(m_ports).removeRecursively());
    QFile file(m_ports);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(systemPortPath(5), QStringLiteral("/dev/ttyS4"));
    QVERIFY(QFile::remove(m_ports));
#endif
}

void TestSerialPort::missingPortsDoNotOpen_data() {
    QTest::addColumn<QString>("setUp");
    QTest::newRow("no entry in the ports folder") << "empty folder";
    QTest::newRow("entry links to nothing") << "dangling link";
    QTest::newRow("no ports folder, no ttyS15") << "no folder";
}

void TestSerialPort::missingPortsDoNotOpen() {
#ifdef Q_OS_WIN
    QSKIP("needs the ports folder");
#else
    QFETCH(QString, setUp);
    QDir(m_ports).removeRecursively();
    if (setUp == QLatin1String("no folder")) {
        if (QFile::exists(QStringLiteral("/dev/ttyS15"))) {
            QSKIP("this machine has a /dev/ttyS15");
        }
    } else {
        QVERIFY(QDir().mkpath(m_ports));
    }
    if (setUp == QLatin1String("dangling link")) {
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/ttyUSB0"), m_ports + "/COM16"));
    }
    QtSerialPort port;
    QVERIFY(!port.open(16));
    // A port that never opened is inert.
    QVERIFY(!port.isOpen());
    QVERIFY(!port.failed());
    QVERIFY(!port.write("[0A003F00000023F]"));
    QVERIFY(!port.waitForMore(0));
    QCOMPARE(port.bytesWaiting(), 0);
    QCOMPARE(port.takeAll(), QByteArray());
    port.discardInput();
    port.close();
#endif
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
