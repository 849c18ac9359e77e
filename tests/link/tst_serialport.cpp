#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <optional>

#include "platform/serialport.h"
#include "platform/serialportlist.h"
#include "tests/support/fakeline.h"
#include "tests/support/testhome.h"
#ifdef BREVANE_NC_SIM
#include "tests/support/simprocess.h"
#endif

namespace {

// The stand-in behind the line of standIn(): it drops the line at the fourth frame.
// tools/windows/test-wine.sh starts it so for the Wine COM port it names.
const QStringList StandInArguments{"--no-pacing", "--fault", "hangup@4"};
// Under Wine no COM port has this number; on Linux its entry links to nothing.
constexpr int MissingPort = 250;

// Waits until n bytes are there; what is there then.
qint64 awaitBytes(SerialPort& port, qint64 n) {
    QElapsedTimer timer;
    timer.start();
    while (port.bytesWaiting() < n && timer.elapsed() < 10000 && port.waitForMore(1000)) {
    }
    return port.bytesWaiting();
}

#ifndef BREVANE_NC_SIM
// The port with the stand-in behind it that test-wine.sh mapped.
int standInPort() {
    return qEnvironmentVariableIntValue("BREVANE_TEST_COM");
}
#endif

// This program again, holding port n open until its standard input closes.
class PortHolder {
public:
    explicit PortHolder(int portNumber) {
        m_process.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("--hold"), QString::number(portNumber)});
        m_process.waitForReadyRead(10000);
        holding = m_process.readLine().trimmed() == "held";
    }
    ~PortHolder() {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool holding = false;

private:
    QProcess m_process;
};

int holdPort(int portNumber) {
    SystemSerialPort port;
    if (!port.open(portNumber)) {
        std::printf("refused: %s\n", qPrintable(openFailureText(port.openFailure())));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    return 0;
}

// A driver on the fake clock that reads as told; one byte arrives at arrivalMs.
class FakeDriver final : public SerialDriver {
public:
    enum Kind { Honours, IgnoresInterval, EmptyAtOnce, FailsAtArrival };

    FakeDriver(FakeClock& clock, Kind kind, qint64 arrivalMs)
        : m_clock(clock), m_kind(kind), m_arrival(arrivalMs) {}

    bool read(int ms, QByteArray& into) override {
        // A wait that polls without end fails here rather than hanging the test.
        if (++reads > 1000) {
            return false;
        }
        const qint64 end = m_clock.now() + ms;
        const bool comes = m_arrival >= 0 && m_arrival <= end;
        if (m_kind == FailsAtArrival && comes) {
            m_clock.advance(m_arrival - m_clock.now());
            return false;
        }
        if (m_kind == Honours && comes) {
            m_clock.advance(qMax(m_arrival, m_clock.now()) + 1 - m_clock.now()); // 1 ms quiet
        } else if (m_kind != EmptyAtOnce) {
            m_clock.advance(ms);
        }
        if (m_arrival >= 0 && m_arrival <= m_clock.now()) {
            into += 'x';
            m_arrival = -1;
        }
        return true;
    }
    void pause(int ms) override { m_clock.advance(ms); }

    int reads = 0;

private:
    FakeClock& m_clock;
    Kind m_kind;
    qint64 m_arrival;
};

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

    // Each reason a port does not open, provoked for real; the port stays inert after it.
    void openFailures_data() {
        QTest::addColumn<int>("reason");
        QTest::addColumn<QString>("text");
        QTest::newRow("held by another program")
            << int(OpenFailure::InUse) << QStringLiteral("in use by another program");
        QTest::newRow("missing") << int(OpenFailure::NoSuchPort) << QStringLiteral("no such port");
        QTest::newRow("no permission")
            << int(OpenFailure::NoPermission)
            << QStringLiteral("permission denied: add yourself to the dialout group (sudo usermod "
                              "-aG dialout $USER, then log in again)");
    }
    void openFailures() {
        QFETCH(int, reason);
        QFETCH(QString, text);
        int number = MissingPort;
        std::optional<PortHolder> holder;
#ifdef BREVANE_NC_SIM
        std::optional<SimProcess> sim;
        if (reason != OpenFailure::NoSuchPort) {
            number = 7;
            sim.emplace(QStringList{"--no-pacing", "--port", QString::number(number)});
            QCOMPARE(sim->nextLine(), m_ports + QStringLiteral("/COM7"));
        }
        if (reason == OpenFailure::NoPermission) {
            const QString device = QFileInfo(m_ports + QStringLiteral("/COM7")).symLinkTarget();
            QVERIFY(QFile::setPermissions(device, {}));
            if (QFileInfo(device).isReadable()) {
                QSKIP("runs as root, who may open any device");
            }
        }
        if (reason == OpenFailure::NoSuchPort) {
            QVERIFY(QDir().mkpath(m_ports));
            QVERIFY(QFile::link("/nonexistent/ttyUSB0", m_ports + "/COM250"));
        }
#else
        if (reason == OpenFailure::NoPermission) {
            QSKIP("a COM port has no permissions of its own for a user");
        }
        if (reason == OpenFailure::InUse) {
            number = standInPort();
            if (number == 0) {
                QSKIP("BREVANE_TEST_COM names no port to hold");
            }
            if (!QSettings(R"(HKEY_LOCAL_MACHINE\Software\Wine)", QSettings::NativeFormat)
                     .childGroups()
                     .isEmpty()) {
                QSKIP("Wine lets a second program open a COM port another one holds; Windows "
                      "does not");
            }
        }
#endif
        if (reason == OpenFailure::InUse) {
            holder.emplace(number);
            QVERIFY(holder->holding);
        }
        SystemSerialPort port;
        QVERIFY(!port.open(number));
        QCOMPARE(int(port.openFailure().reason), reason);
        QCOMPARE(openFailureText(port.openFailure()), text);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write(ChecksumFrame));
        QVERIFY(!port.waitForMore(0));
        QCOMPARE(port.takeAll(), QByteArray());
    }

    // The Windows port's wait, over drivers that misbehave as some do: one read at a time,
    // none longer than a slice, none returning early without a pause after it.
    void waitInSlices_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("arrivalMs"); // -1: nothing comes
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("reads");
        QTest::newRow("honours the interval")
            << int(FakeDriver::Honours) << 120 << int(WaitResult::Arrived) << 121 << 3;
        QTest::newRow("ignores the interval")
            << int(FakeDriver::IgnoresInterval) << 120 << int(WaitResult::Arrived) << 150 << 3;
        QTest::newRow("empty at once, nothing comes")
            << int(FakeDriver::EmptyAtOnce) << -1 << int(WaitResult::TimedOut) << 5000 << 100;
        QTest::newRow("empty at once, then a reply")
            << int(FakeDriver::EmptyAtOnce) << 120 << int(WaitResult::Arrived) << 150 << 4;
        QTest::newRow("line fails")
            << int(FakeDriver::FailsAtArrival) << 70 << int(WaitResult::Failed) << 70 << 2;
    }
    void waitInSlices() {
        QFETCH(int, kind);
        QFETCH(int, arrivalMs);
        QFETCH(int, result);
        QFETCH(int, elapsedMs);
        QFETCH(int, reads);
        FakeClock clock;
        FakeDriver driver(clock, FakeDriver::Kind(kind), arrivalMs);
        QByteArray buffer("old");
        QCOMPARE(int(::waitInSlices(driver, clock, 5000, buffer)), result);
        QCOMPARE(clock.now(), elapsedMs);
        QCOMPARE(driver.reads, reads);
        QCOMPARE(buffer, QByteArray(result == int(WaitResult::Arrived) ? "oldx" : "old"));
    }

    // What a Windows device instance id and hardware id tell of the adapter.
    void usbIdentity_data() {
        QTest::addColumn<QString>("instanceId");
        QTest::addColumn<QString>("hardwareId");
        QTest::addColumn<QString>("usbId");
        QTest::addColumn<QString>("serial");
        const auto row = [](const char* name, const char* instance, const char* hardware,
                            const char* usbId, const char* serial) {
            QTest::newRow(name) << instance << hardware << usbId << serial;
        };
        row("FTDI", R"(FTDIBUS\VID_0403+PID_6001+A10KXYZA\0000)",
            R"(FTDIBUS\COMPORT&VID_0403&PID_6001)", "0403:6001", "A10KXYZ");
        row("CP210x", R"(USB\VID_10C4&PID_EA60\0001)", R"(USB\VID_10C4&PID_EA60&REV_0100)",
            "10c4:ea60", "0001");
        row("Prolific, no serial number", R"(USB\VID_067B&PID_2303\5&2B1E3A8F&0&2)",
            R"(USB\VID_067B&PID_2303&REV_0300)", "067b:2303", "");
        row("ids in the hardware id only", R"(ROOT\PORTS\0000)",
            R"(USB\VID_1A86&PID_7523&REV_0264)", "1a86:7523", "");
        row("a built-in port", R"(ACPI\PNP0501\1)", R"(ACPI\PNP0501)", "", "");
    }
    void usbIdentity() {
        QFETCH(QString, instanceId);
        QFETCH(QString, hardwareId);
        QFETCH(QString, usbId);
        QFETCH(QString, serial);
        SerialDevice device;
        readUsbIdentity(instanceId, hardwareId, device);
        QCOMPARE(device.usbId, usbId);
        QCOMPARE(device.serialNumber, serial);
    }

    // The line's contract, on the platform's own port with the stand-in at the far end.
    void standIn() {
#ifdef BREVANE_NC_SIM
        constexpr int number = 7;
        SimProcess sim(StandInArguments + QStringList{"--port", QString::number(number)});
        QCOMPARE(sim.nextLine(), m_ports + QStringLiteral("/COM7"));
#else
        const int number = standInPort();
        if (number == 0) {
            QSKIP("BREVANE_TEST_COM names no port with the stand-in behind it");
        }
#endif
        SystemSerialPort port;
        QVERIFY(port.open(number));
        QVERIFY(port.isOpen());
        QCOMPARE(int(port.openFailure().reason), int(OpenFailure::None));
        QCOMPARE(port.bytesWaiting(), 0);
        QVERIFY(port.write(ChecksumFrame));
        QCOMPARE(awaitBytes(port, 12), 12);
        QCOMPARE(port.takeAll(), ZeroChecksumReply);
        QCOMPARE(port.bytesWaiting(), 0);
        // A reply still in the driver is counted and taken, or dropped by discardInput().
        QVERIFY(port.write(ChecksumFrame));
        QThread::msleep(500);
        QCOMPARE(port.bytesWaiting(), 12);
        QCOMPARE(port.takeAll(), ZeroChecksumReply);
        QVERIFY(port.write(ChecksumFrame));
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
        QVERIFY(port.write(ChecksumFrame));
        QCOMPARE(awaitBytes(port, 1), 0);
        QVERIFY(port.failed());
        QVERIFY(!port.write(ChecksumFrame));
        port.close();
        QVERIFY(!port.isOpen());
    }

private:
    QString m_ports;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // openFailures() starts this program again to hold a port.
    if (argc == 3 && QByteArrayView(argv[1]) == "--hold") {
        return holdPort(QByteArray(argv[2]).toInt());
    }
    TestSerialPort test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serialport.moc"
