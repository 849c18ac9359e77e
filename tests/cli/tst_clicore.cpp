// The CLI's trace (--trace) on the stand-in's controller model, through Verify's one
// exchange: a trace ending "checksum holds" is a match, any other an error. And the ports
// report.

#include <QtTest>

#include "cli/clicore.h"
#include "cli/portlist.h"
#include "files/brvfile.h"
#include "link/transfer.h"
#include "tests/support/controllerend.h"
#include "tests/support/testhome.h"

namespace {

// The lines of a ports report after COM16's, runs of spaces as one.
QStringList afterCom16(const QStringList& lines) {
    return lines.mid(lines.indexOf(QRegularExpression("COM16 .*")) + 1)
        .replaceInStrings(QRegularExpression("  +"), " ");
}

} // namespace

class TestCliCore : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useFreshHome(); }
    void trace_data() {
        QTest::addColumn<QByteArray>("waiting"); // on the line before the command
        QTest::addColumn<QString>("fault");      // the stand-in's; "refused": the write fails
        QTest::addColumn<QStringList>("expected");
        const QString sent = QStringLiteral("sent     [0A003F00000023F]");
        const QString holds = QStringLiteral("received [34DA90190E]  checksum holds");
        QTest::newRow("answered") << QByteArray() << "" << QStringList{sent, holds};
        QTest::newRow("stale bytes thrown away")
            << QByteArray("\x01z\\\xF0\x7F", 5) << ""
            << QStringList{R"(discarded \x01z\\\xF0\x7F)", sent, holds};
        QTest::newRow("junk before the reply")
            << QByteArray() << "junk"
            << QStringList{sent, "received \\xF0\\x7F?~[34DA90190E]  checksum wrong"};
        QTest::newRow("half a reply")
            << QByteArray() << "short"
            << QStringList{sent, "no reply within the time-out, waiting: [34DA90190E"};
        QTest::newRow("write refused")
            << QByteArray() << "refused" << QStringList{sent + "  (the line failed)"};
        QTest::newRow("line dropped")
            << QByteArray() << "hangup" << QStringList{sent, "no reply: the line failed"};
        QTest::newRow("no port") << QByteArray() << "missing"
                                 << QStringList{"cannot open COM4 (/dev/ttyS3): no such port",
                                                "UNSTAMPED Unable To Open Port",
                                                "UNSTAMPED COM4 (/dev/ttyS3): no such port"};
    }
    void trace() {
        QFETCH(QByteArray, waiting);
        QFETCH(QString, fault);
        QFETCH(QStringList, expected);
        ControllerEnd end(fault.isEmpty() || fault == "refused" || fault == "missing"
                              ? QStringList{}
                              : QStringList{fault});
        end.line.failWriteAt = fault == "refused" ? 0 : -1;
        end.line.portExists = fault != "missing";
        end.line.arriveNow(waiting); // comes in once the port is open, before the command
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        Console console{outStream, errStream};
        const LinkSettings link{
            .portNumber = 4, .trace = true, .line = &end.line, .clock = &end.clock};
        const QString file = QDir::homePath() + QStringLiteral("/zero.BRV");
        QVERIFY(writeBrvFile(file, CnfTable{}));
        const bool matches = expected.last().endsWith(QStringLiteral("holds"));
        QCOMPARE(runVerify(file, link, console),
                 end.line.portExists ? (matches ? int(StatusOk) : int(ChecksumRequestFailed))
                                     : int(StatusPortFailed));
        outStream.flush();
        errStream.flush();
        // Trace lines without their time stamps.
        QStringList lines;
        static const QRegularExpression stamp(QStringLiteral("^ *\\d+\\.\\d{3} ms  "));
        for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QRegularExpressionMatch match = stamp.match(line);
            lines << (match.hasMatch() ? line.mid(match.capturedLength()) : "UNSTAMPED " + line);
        }
        if (end.line.portExists) {
            expected.prepend("opened COM4 (/dev/ttyS3)");
            expected << QStringLiteral("closed");
        }
        if (!matches && end.line.portExists) {
            expected << "UNSTAMPED Verify Error: 52"
                     << "UNSTAMPED The controller gave no valid answer to the checksum request.";
        }
#ifdef Q_OS_WIN
        // The system names the port; a message does not say the name twice.
        expected.replaceInStrings("UNSTAMPED COM4 (/dev/ttyS3)", "UNSTAMPED COM4");
        expected.replaceInStrings("(/dev/ttyS3)", "(COM4)");
#endif
        QCOMPARE(lines, expected);
        QCOMPARE(out, matches ? "Controller matches " + file + "\n" : QString());
        QCOMPARE(end.line.closes, end.line.portExists ? 1 : 0);
    }

    // COM1 reaches an adapter, COM2 a device that is gone; ttyUSB1 is reached by none.
    void ports() {
#ifdef Q_OS_WIN
        QSKIP("the system names its own COM ports; nothing links them to devices");
#endif
        const QString devices = QDir::homePath() + "/dev";
        const QString folder = QDir::homePath() + "/ports";
        QVERIFY(QDir().mkpath(devices) && QDir().mkpath(folder));
        QVERIFY(QFile(devices + "/ttyUSB0").open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(devices + "/ttyUSB0", folder + "/COM1"));
        QVERIFY(QFile::link(devices + "/gone", folder + "/COM2"));
        const QStringList lines = portsReport(folder, true,
                                              {{.name = "",
                                                .location = devices + "/ttyUSB0",
                                                .description = "FT232R USB UART",
                                                .manufacturer = "FTDI",
                                                .serialNumber = "A1",
                                                .usbId = ""},
                                               {.name = "",
                                                .location = devices + "/ttyUSB1",
                                                .description = "CP2102",
                                                .manufacturer = "Silicon Labs",
                                                .serialNumber = "",
                                                .usbId = ""}})
                                      .split('\n');
        QCOMPARE(lines[1].simplified(),
                 "COM1 " + devices + "/ttyUSB0 present FT232R USB UART, FTDI, serial A1");
        QCOMPARE(lines[2].simplified(), "COM2 " + devices + "/gone dangling link");
        QCOMPARE(afterCom16(lines),
                 (QStringList{"",
                              "Serial devices no COM number reaches, each with the command that "
                              "links it:",
                              devices + "/ttyUSB1 CP2102, Silicon Labs",
                              " ln -s '" + devices + "/ttyUSB1' '" + folder + "/COM3'", ""}));
    }

    // The ports report where the system numbers its own ports, from the ports it lists:
    // the line of COM n (line n of the report), and what follows COM16's line.
    void comPorts_data() {
        QTest::addColumn<QList<SerialDevice>>("ports");
        QTest::addColumn<int>("com");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("present")
            << QList<SerialDevice>{{.name = "COM3",
                                    .location = R"(\Device\VCP0)",
                                    .description = "USB Serial Port (COM3)",
                                    .manufacturer = "FTDI",
                                    .serialNumber = "A10KXYZ",
                                    .usbId = "0403:6001"}}
            << 3
            << R"(COM3 \Device\VCP0 present USB Serial Port (COM3), FTDI, USB ID 0403:6001, serial A10KXYZ)"
            << QStringList{};
        QTest::newRow("missing") << QList<SerialDevice>{} << 3 << "COM3 - missing" << QStringList{};
        QTest::newRow("above 16")
            << QList<SerialDevice>{{.name = "COM17",
                                    .location = R"(\Device\Silabser0)",
                                    .description = "CP210x (COM17)",
                                    .manufacturer = "Silicon Labs",
                                    .serialNumber = "",
                                    .usbId = ""}}
            << 16 << "COM16 - missing"
            << QStringList{
                   R"(COM17 \Device\Silabser0 present CP210x (COM17), Silicon Labs)",
                   "The window's ComPort menu offers COM1 to COM16 (brevane-cli --port up to 256). "
                   "To give an adapter a lower number:",
                   "Device Manager > the port > Port Settings > Advanced > COM Port Number."};
        QTest::newRow("no SetupAPI names")
            << QList<SerialDevice>{{.name = "COM1",
                                    .location = R"(\Device\Serial0)",
                                    .description = "",
                                    .manufacturer = "",
                                    .serialNumber = "",
                                    .usbId = ""}}
            << 1 << R"(COM1 \Device\Serial0 present)" << QStringList{};
    }
    void comPorts() {
        QFETCH(QList<SerialDevice>, ports);
        QFETCH(int, com);
        QFETCH(QString, line);
        QStringList lines = comPortsReport(ports).split('\n');
        QCOMPARE(lines.takeLast(), QString()); // the last line ends too
        QCOMPARE(lines[0], "COM numbers are the system's own:");
        QCOMPARE(lines[com].simplified(), line);
        QTEST(afterCom16(lines), "after");
    }
};

QTEST_GUILESS_MAIN(TestCliCore)
#include "tst_clicore.moc"
