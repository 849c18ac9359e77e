#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <cstdio>
#include <optional>

#include "platform/lowlatency.h"
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
    while (port.bytesWaiting() < n && timer.elapsed() < 10000 &&
           port.waitForMore(1000, n - port.bytesWaiting())) {
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
    const std::unique_ptr<SerialPort> line = makeSystemSerialPort();
    SerialPort& port = *line;
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

// A driver on the fake clock that reads as told, while a reply arrives in pieces.
class FakeDriver final : public SerialDriver {
public:
    enum Kind {
        Honours,      // a read ends once its count has come, or its time has passed
        IgnoresCount, // a read waits out its time
        EmptyAtOnce,  // a read returns what is there without waiting
        FailsAtArrival,
    };

    FakeDriver(FakeClock& clock, Kind kind, QMap<qint64, QByteArray> pieces)
        : m_clock(clock), m_kind(kind), m_pieces(std::move(pieces)) {}

    bool read(int ms, qint64 count, QByteArray& into) override {
        // A wait that polls without end fails here rather than hanging the test.
        if (++reads > 1000) {
            return false;
        }
        qint64 end = m_clock.now() + ms;
        if (m_kind == Honours) {
            // The moment count bytes have come, if that is before the end.
            qint64 come = 0;
            for (auto piece = m_pieces.cbegin(); piece != m_pieces.cend(); ++piece) {
                come += piece.value().size();
                if (come >= count) {
                    end = qMin(end, qMax(piece.key(), m_clock.now()));
                    break;
                }
            }
        }
        if (m_kind == FailsAtArrival && !m_pieces.isEmpty() && m_pieces.firstKey() <= end) {
            m_clock.advance(m_pieces.firstKey() - m_clock.now());
            return false;
        }
        if (m_kind != EmptyAtOnce) {
            m_clock.advance(end - m_clock.now());
        }
        while (!m_pieces.isEmpty() && m_pieces.firstKey() <= m_clock.now()) {
            into += m_pieces.take(m_pieces.firstKey());
        }
        return true;
    }
    void pause(int ms) override { m_clock.advance(ms); }

    int reads = 0;

private:
    FakeClock& m_clock;
    Kind m_kind;
    QMap<qint64, QByteArray> m_pieces; // arrival time -> bytes
};

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { m_ports = useFreshHome() + QStringLiteral("/Orvik Tessaly Net/ports"); }
    void portPaths() {
#ifdef Q_OS_WIN
        QCOMPARE(systemPortPath(16), QStringLiteral("COM16"));
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
        const std::unique_ptr<SerialPort> line = makeSystemSerialPort();
        SerialPort& port = *line;
        QVERIFY(!port.open(number));
        QCOMPARE(int(port.openFailure().reason), reason);
        QCOMPARE(openFailureText(port.openFailure()), text);
        QVERIFY(!port.isOpen());
        QVERIFY(!port.write(ChecksumFrame));
        QVERIFY(!port.waitForMore(0, 1));
        QCOMPARE(port.takeAll(), QByteArray());
    }

    // The Windows port's wait, as the exchange waits for a 12-character reply (each wait
    // asking for the missing characters), over drivers that behave as some do: one read at
    // a time, none longer than a slice, none returning early without a pause after it.
    void waitInSlices_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pieces"); // "ms:characters ..."
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("reads");
        const int arrived = int(WaitResult::Arrived);
        QTest::newRow("in one piece: ends on its last character")
            << int(FakeDriver::Honours) << "120:12" << arrived << 120 << 3;
        QTest::newRow("in three pieces: ends on the last")
            << int(FakeDriver::Honours) << "20:4 60:4 110:4" << arrived << 110 << 3;
        QTest::newRow("never") << int(FakeDriver::Honours) << "" << int(WaitResult::TimedOut)
                               << 5000 << 100;
        QTest::newRow("a driver that waits out every read")
            << int(FakeDriver::IgnoresCount) << "120:12" << arrived << 150 << 3;
        QTest::newRow("empty at once, nothing comes")
            << int(FakeDriver::EmptyAtOnce) << "" << int(WaitResult::TimedOut) << 5000 << 100;
        QTest::newRow("empty at once, then a reply")
            << int(FakeDriver::EmptyAtOnce) << "120:12" << arrived << 150 << 4;
        QTest::newRow("line fails")
            << int(FakeDriver::FailsAtArrival) << "70:12" << int(WaitResult::Failed) << 70 << 2;
    }
    void waitInSlices() {
        QFETCH(int, kind);
        QFETCH(QString, pieces);
        QFETCH(int, result);
        QFETCH(int, elapsedMs);
        QFETCH(int, reads);
        QMap<qint64, QByteArray> arrivals;
        for (const QString& piece : pieces.split(' ', Qt::SkipEmptyParts)) {
            arrivals[piece.section(':', 0, 0).toInt()] =
                QByteArray(piece.section(':', 1).toInt(), 'x');
        }
        FakeClock clock;
        FakeDriver driver(clock, FakeDriver::Kind(kind), arrivals);
        const QByteArray old("old");
        QByteArray buffer = old;
        WaitResult got = WaitResult::Arrived;
        qint64 waited = 0;
        while (got == WaitResult::Arrived && buffer.size() < old.size() + 12) {
            got = ::waitInSlices(driver, clock, 5000, old.size() + 12 - buffer.size(), buffer);
            waited = clock.now();
        }
        QCOMPARE(int(got), result);
        QCOMPARE(waited, elapsedMs);
        QCOMPARE(driver.reads, reads);
        QCOMPARE(buffer, result == int(WaitResult::Arrived) ? old + QByteArray(12, 'x') : old);
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

    // Low latency asked for when a port opens and put back when it closes.
    void lowLatency_data() {
        QTest::addColumn<bool>("wasOn");
        QTest::addColumn<QString>(
            "refusal"); // the driver's; "ignores": takes the request, keeps it off
        QTest::addColumn<bool>("granted");
        QTest::addColumn<QString>("writes"); // the flag written by ask(), then by putBack()
        QTest::addColumn<QString>("note");
        QTest::newRow("granted, then put back") << false << "" << true << "on off"
                                                << "";
        QTest::newRow("already on: left on") << true << "" << true << ""
                                             << "";
        QTest::newRow("a pseudo-terminal refuses")
            << false << "Inappropriate ioctl for device" << false << ""
            << "low latency not granted: Inappropriate ioctl for device";
        QTest::newRow("taken but ignored") << false << "ignores" << false << "on off"
                                           << "low latency not granted: the driver kept it off";
    }
    void lowLatency() {
        QFETCH(bool, wasOn);
        QFETCH(QString, refusal);
        QFETCH(bool, granted);
        QFETCH(QString, writes);
        QFETCH(QString, note);
        struct Flag final : LowLatencyFlag {
            bool on = false;
            QString refusal;
            QStringList written;
            bool read(bool& value, QString& why) override {
                why = refusal;
                value = on;
                return refusal.isEmpty() || refusal == "ignores";
            }
            bool write(bool value, QString& why) override {
                written << (value ? "on" : "off");
                on = refusal == "ignores" ? on : value;
                return read(value, why);
            }
        } flag;
        flag.on = wasOn;
        flag.refusal = refusal;
        LowLatencyRequest request;
        QCOMPARE(request.ask(flag), granted);
        QCOMPARE(request.refusal(), note);
        request.putBack(flag);
        QCOMPARE(flag.written.join(' '), writes);
        QCOMPARE(flag.on, wasOn);
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
        const std::unique_ptr<SerialPort> line = makeSystemSerialPort();
        SerialPort& port = *line;
        QVERIFY(port.open(number));
        QVERIFY(port.isOpen());
        QCOMPARE(int(port.openFailure().reason), int(OpenFailure::None));
        // A pseudo-terminal has no low-latency flag: said, and the port works as it is.
#ifdef Q_OS_LINUX
        QCOMPARE(port.openNote(),
                 QStringLiteral("low latency not granted: Inappropriate ioctl for device"));
#endif
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
        QVERIFY(!port.waitForMore(300, 1));
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
