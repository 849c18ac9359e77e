// The CLI's trace (--trace) on the stand-in's controller model, through Verify's one
// exchange: a trace ending "checksum holds" is a match, any other an error. And the ports
// report. The help, word for word.

#include <QtTest>

#include "cli/clicore.h"
#include "cli/commandtable.h"
#include "cli/ping.h"
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
                                              {{.location = devices + "/ttyUSB0",
                                                .description = "FT232R USB UART",
                                                .manufacturer = "FTDI",
                                                .serialNumber = "A1"},
                                               {.location = devices + "/ttyUSB1",
                                                .description = "CP2102",
                                                .manufacturer = "Silicon Labs"}})
                                      .split('\n');
        QCOMPARE(lines[1].simplified(),
                 "COM1 " + devices + "/ttyUSB0 present FT232R USB UART, FTDI, serial A1");
        QCOMPARE(lines[2].simplified(), "COM2 " + devices + "/gone dangling link");
        QCOMPARE(afterCom16(lines),
                 (QStringList{"",
                              QString("Serial devices no COM number reaches, each with the "
                                      "command that links it:"),
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
                                    .manufacturer = "Silicon Labs"}}
            << 16 << "COM16 - missing"
            << QStringList{
                   R"(COM17 \Device\Silabser0 present CP210x (COM17), Silicon Labs)",
                   "The window's ComPort menu offers COM1 to COM16 (brevane-cli --port up to 256). "
                   "To give an adapter a lower number:",
                   "Device Manager > the port > Port Settings > Advanced > COM Port Number."};
        QTest::newRow("an FTDI adapter's 16 ms latency timer, and how to lower it")
            << QList<SerialDevice>{{.name = "COM3",
                                    .location = R"(\Device\VCP0)",
                                    .description = "USB Serial Port (COM3)",
                                    .latencyTimerMs = 16}}
            << 3 << R"(COM3 \Device\VCP0 present USB Serial Port (COM3), latency timer 16 ms)"
            << QStringList{"",
                           "COM3 holds what it receives for up to 16 ms (its latency timer). To "
                           "set 1 ms:",
                           "Device Manager > Ports (COM & LPT) > COM3 > Properties > Port "
                           "Settings > Advanced >",
                           "Latency Timer (msec): 1, then OK."};
        QTest::newRow("no SetupAPI names")
            << QList<SerialDevice>{{.name = "COM1", .location = R"(\Device\Serial0)"}} << 1
            << R"(COM1 \Device\Serial0 present)" << QStringList{};
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

    // How to lower a Linux adapter's latency timer, for it alone, when it holds replies long.
    void linuxLatencyAdvice() {
        SerialDevice ftdi{.location = "/dev/ttyUSB0",
                          .serialNumber = "A10KXYZ",
                          .usbId = "0403:6001",
                          .latencyTimerMs = 16};
        QCOMPARE(::linuxLatencyAdvice(ftdi),
                 "/dev/ttyUSB0 holds what it receives for up to 16 ms (its latency timer). Orvik "
                 "Brevane\nasks its driver for 1 ms while it uses the port. For other programs, "
                 "this udev rule\nsets 1 ms whenever the adapter is plugged in:\n"
                 R"(    echo 'ACTION=="add", SUBSYSTEM=="usb-serial", ATTRS{serial}=="A10KXYZ", )"
                 R"(ATTR{latency_timer}="1"' | sudo tee /etc/udev/rules.d/99-serial-latency.rules)"
                 "\n");
        ftdi.serialNumber.clear();
        QVERIFY(::linuxLatencyAdvice(ftdi).contains(
            R"(ATTRS{idVendor}=="0403", ATTRS{idProduct}=="6001", ATTR{)"));
        QVERIFY(portsReport("/nowhere/ports", false, {ftdi}).endsWith(::linuxLatencyAdvice(ftdi)));
        ftdi.latencyTimerMs = 2;
        QCOMPARE(::linuxLatencyAdvice(ftdi), QString());
        // Beside what the adapter says of itself, whatever the timer.
        const QString report = portsReport("/nowhere/ports", false, {ftdi});
        QVERIFY2(report.contains("/dev/ttyUSB0  USB ID 0403:6001, latency timer 2 ms\n"),
                 qPrintable(report));
        QVERIFY(!report.contains("holds what it receives"));
    }

    // What ping makes of recorded round trips (ms; "-" no reply, "~" cut short, "#" wrong
    // checksum), on a line whose own time for a request and its reply is 7.6 ms.
    void pingVerdicts_data() {
        QTest::addColumn<QString>("openFailure");
        QTest::addColumn<QString>("trips");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // after the lines of the requests
        QTest::addColumn<QString>("err");
        const QString lower = "(how to set the timer)\n";
        QTest::newRow("all prompt")
            << ""
            << "8.1 8.4 7.9" << 0
            << "min 7.9 ms, median 8.1 ms, max 8.4 ms; the line's own time is 7.6 ms\n\n"
               "Every reply came promptly: the line is good.\n"
            << "";
        QTest::newRow("held by a 16 ms adapter")
            << ""
            << "16.1 23.9 16.0 24.1" << 0
            << "min 16.0 ms, median 20.0 ms, max 24.1 ms; the line's own time is 7.6 ms\n\n"
               "The adapter holds each reply about 12.4 ms beyond the line's own time: a "
               "Download will take\nabout 0.48 s instead of 0.36 s.\n" +
                   lower
            << "";
        QTest::newRow("some unanswered")
            << ""
            << "8.0 - ~ # 8.2" << int(ChecksumRequestFailed)
            << "min 8.0 ms, median 8.1 ms, max 8.2 ms; the line's own time is 7.6 ms\n\n"
               "3 of 5 requests got no good reply: 2, 3, 4.\n"
               "No reply: check the cable and its plugs, the NC's power, the COM number (a port "
               "with\nnothing behind it opens, then times out) and the adapter (unplugged, or "
               "its driver).\n"
               "Cut short, garbled or a wrong checksum: a noisy line (a long or unshielded "
               "cable, a\nloose plug).\n"
            << "";
        QTest::newRow("none answered")
            << ""
            << "- -" << int(ChecksumRequestFailed)
            << "\nNo request got a good reply.\n"
               "No reply: check the cable and its plugs, the NC's power, the COM number (a port "
               "with\nnothing behind it opens, then times out) and the adapter (unplugged, or "
               "its driver).\n"
            << "";
        QTest::newRow("port refused") << "COM4 (/dev/ttyS3): no such port"
                                      << "" << int(StatusPortFailed) << ""
                                      << "Unable To Open Port\nCOM4 (/dev/ttyS3): no such port\n";
    }
    void pingVerdicts() {
        QFETCH(QString, openFailure);
        QFETCH(QString, trips);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        PingRun run{"COM4 (/dev/ttyS3)", openFailure, {}, "(how to set the timer)\n"};
        for (const QString& trip : trips.split(' ', Qt::SkipEmptyParts)) {
            run.results << (trip == "-"   ? PingResult{PingResult::NoReply}
                            : trip == "~" ? PingResult{PingResult::CutShort}
                            : trip == "#" ? PingResult{PingResult::WrongChecksum}
                                          : PingResult{PingResult::Answered, trip.toDouble()});
        }
        const PingReport report = pingReport(run);
        QCOMPARE(report.status, status);
        QCOMPARE(report.err, err);
        if (openFailure.isEmpty()) {
            const QStringList lines = report.out.split('\n');
            QCOMPARE(lines[0], "Ping COM4 (/dev/ttyS3): the checksum request " +
                                   QString::number(run.results.size()) +
                                   " times (nothing on the NC changes)");
            QCOMPARE(lines[2].simplified(), run.results[1].kind == PingResult::NoReply
                                                ? "2 no reply"
                                                : "2 " + trips.section(' ', 1, 1) + " ms");
            QCOMPARE(lines.mid(run.results.size() + 1).join('\n'), out);
        } else {
            QCOMPARE(report.out, out);
        }
    }

    // The help as tests/cli/help.txt holds it: "==== help" and the program's help, then
    // "==== help COMMAND" and each command's.
    void help_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QFile golden(QStringLiteral(":/help.txt"));
        QVERIFY(golden.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList sections = QString::fromUtf8(golden.readAll()).split("==== help");
        QCOMPARE(sections.first(), QString());
        for (const QString& section : sections.mid(1)) {
            const qsizetype end = section.indexOf('\n');
            const QString command = section.left(end).trimmed();
            QTest::newRow(qPrintable("help " + command)) << command << section.mid(end + 1);
        }
    }
    void help() {
        QFETCH(QString, command);
        QFETCH(QString, expected);
        QCOMPARE(command.isEmpty() ? programHelp() : commandHelp(command), expected);
    }
};

QTEST_GUILESS_MAIN(TestCliCore)
#include "tst_clicore.moc"
