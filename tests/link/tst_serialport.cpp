#include <QtTest>

#include <QDir>
#include <QFile>

#include "platform/serialport.h"
#include "tests/support/testhome.h"

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void portPaths_data();
    void portPaths();
    void portsFolderDecides();
    void missingPortsDoNotOpen_data();
    void missingPortsDoNotOpen();
    void closedPortIsInert();

private:
    QString m_home;
    QString m_ports;
};

void TestSerialPort::initTestCase() {
    m_home = useFreshHome();
    m_ports = m_home + QStringLiteral("/Orvik Tessaly Net/ports");
}

void TestSerialPort::init() {
    QDir(m_home + QStringLiteral("/Orvik Tessaly Net")).removeRecursively();
}

void TestSerialPort::portPaths_data() {
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("folderExists");
    QTest::addColumn<QString>("path");
#ifdef Q_OS_WIN
    QTest::newRow("COM1") << 1 << false << "COM1";
    QTest::newRow("COM16 with a folder") << 16 << true << "COM16";
#else
    QTest::newRow("COM1 without the folder") << 1 << false << "/dev/ttyS0";
    QTest::newRow("COM16 without the folder") << 16 << false << "/dev/ttyS15";
    QTest::newRow("COM1 in the folder") << 1 << true << "/f/ports/COM1";
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
    QVERIFY(!port.isOpen());
    QVERIFY(!port.failed());
    QVERIFY(!port.write("[0A003F00000023F]"));
#endif
}

void TestSerialPort::closedPortIsInert() {
    QtSerialPort port;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.waitForMore(2000));
    QVERIFY(timer.elapsed() < 1000); // nothing to wait on
    QCOMPARE(port.bytesWaiting(), 0);
    QCOMPARE(port.takeAll(), QByteArray());
    port.discardInput();
    port.close();
    QVERIFY(!port.write("x"));
    QVERIFY(!port.isOpen());
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serialport.moc"
