// The real brevane-cli against the real controller stand-in on a pseudo-terminal:
// download, upload and verify, their faults and exit statuses, and the frame trace.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "files/brvfile.h"
#include "link/protocol.h"
#include "table/hextext.h"
#include "tests/cli/clirun.h"
#include "tests/support/testhome.h"

namespace {

constexpr int Patience = 10000; // ms; only reached when something is broken

const QString Port = QStringLiteral("1");
const QString ChecksumFrame = QStringLiteral("[0A003F00000023F]");

QString downloadError(int code) {
    return QStringLiteral("Download Error: %1\nBrevane will not function properly until a "
                          "download is complete.\n")
        .arg(code);
}

QString uploadError(int code, const QString& path) {
    return QStringLiteral("Upload Error: %1\nAll Host Data Cleared.\n%2 not written.\n")
        .arg(code)
        .arg(path);
}

// The stand-in on port 1, replying at once.
class Sim {
public:
    explicit Sim(const QStringList& extra) {
        m_process.start(QStringLiteral(BREVANE_NC_SIM),
                        QStringList{"--port", Port, "--no-pacing"} + extra);
        m_process.waitForStarted(Patience);
        QDeadlineTimer deadline(Patience);
        while (!m_process.canReadLine() && !deadline.hasExpired() &&
               m_process.state() == QProcess::Running) {
            m_process.waitForReadyRead(int(deadline.remainingTime()));
        }
        m_link = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }
    ~Sim() { stop(); }
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    QString link() const { return m_link; }

    // Ends it and returns its log.
    QString stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(Patience)) {
                m_process.kill();
                m_process.waitForFinished(Patience);
            }
        }
        m_log += QString::fromLatin1(m_process.readAllStandardError());
        return m_log;
    }

    // The frames it received, as its log shows them.
    QStringList framesReceived() {
        static const QRegularExpression frame(
            QStringLiteral("^ *\\d+\\.\\d{3} ms  in  #\\d+ (\\S+)"),
            QRegularExpression::MultilineOption);
        QStringList frames;
        for (const QRegularExpressionMatch& match : frame.globalMatch(stop())) {
            frames << match.captured(1);
        }
        return frames;
    }

private:
    QProcess m_process;
    QString m_link;
    QString m_log;
};

QString home() {
    return QDir::homePath();
}

QString portsFolder() {
    return home() + QStringLiteral("/Orvik Tessaly Net/ports");
}

// Every byte different from its neighbours, every field in use, keys "Orvik" and "Net".
CnfTable patternTable(int seed) {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = std::uint8_t((i * 7 + seed) & 0xFF);
    }
    ModBrevane mod;
    mod.Cnf = cnf;
    mod.PackKeys(QStringLiteral("Orvik"), QStringLiteral("Net"));
    return mod.Cnf;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tableBytes(const CnfTable& cnf) {
    return {reinterpret_cast<const char*>(cnf.data()), CnfBytes};
}

// The lines of standard error: trace lines without their time stamps, any other line
// (the closing message) marked "message: ".
QStringList traceLines(const QString& err) {
    static const QRegularExpression stamp(QStringLiteral("^ *\\d+\\.\\d{3} ms  "));
    QStringList lines;
    for (const QString& line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = stamp.match(line);
        lines << (match.hasMatch() ? line.mid(match.capturedLength()) : "message: " + line);
    }
    return lines;
}

} // namespace

class TestCliLink : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void downloadThenVerifyMatches();
    void uploadGivesTheControllersTable();
    void verifyAgainstAnotherFileSendsOneFrame();
    void faults_data();
    void faults();
    void portCannotOpen_data();
    void portCannotOpen();
    void trace_data();
    void trace();
};

void TestCliLink::initTestCase() {
    useFreshHome(); // the rows' paths are made before the first init()
}

void TestCliLink::init() {
    useFreshHome();
}

void TestCliLink::downloadThenVerifyMatches() {
    const QString state = home() + QStringLiteral("/controller.BRV");
    const QString site = home() + QStringLiteral("/Site A.BRV");
    QVERIFY(writeBrvFile(site, patternTable(3)));
    Sim sim({"--state", state});
    QCOMPARE(sim.link(), portsFolder() + QStringLiteral("/COM1"));

    const CliRun download = runCli({"download", site, "--port", Port});
    QCOMPARE(download.err, QString());
    QCOMPARE(download.out, QStringLiteral("Download Complete\n"));
    QCOMPARE(download.status, 0);
    QCOMPARE(fileBytes(state), tableBytes(patternTable(3)));

    const CliRun verify = runCli({"verify", site, "--port", Port});
    QCOMPARE(verify.err, QString());
    QCOMPARE(verify.out, "Controller matches " + site + "\n");
    QCOMPARE(verify.status, 0);

    const ControllerImage image = controllerImage(patternTable(3));
    QStringList expected;
    for (int block = 0; block < ImageBlocks; ++block) {
        expected << QString::fromLatin1(commandFrame(blockWriteCommand(block, image)));
    }
    expected << ChecksumFrame << ChecksumFrame;
    QCOMPARE(sim.framesReceived(), expected);
}

void TestCliLink::uploadGivesTheControllersTable() {
    const QString state = home() + QStringLiteral("/controller.BRV");
    const QString site = home() + QStringLiteral("/Site B.BRV");
    QVERIFY(writeBrvFile(state, patternTable(5)));
    QVERIFY(writeBrvFile(site, patternTable(9))); // replaced by what the controller holds
    Sim sim({"--state", state});

    const CliRun upload = runCli({"upload", site, "--port", Port});
    QCOMPARE(upload.err, QString());
    QCOMPARE(upload.out, QStringLiteral("Upload Complete\n"));
    QCOMPARE(upload.status, 0);
    QCOMPARE(fileBytes(site), tableBytes(patternTable(5)));
    QCOMPARE(sim.framesReceived().size(), 10);
    QCOMPARE(fileBytes(state), tableBytes(patternTable(5))); // reading changed nothing
}

void TestCliLink::verifyAgainstAnotherFileSendsOneFrame() {
    const QString state = home() + QStringLiteral("/controller.BRV");
    const QString other = home() + QStringLiteral("/other.BRV");
    QVERIFY(writeBrvFile(state, patternTable(5)));
    CnfTable almost = patternTable(5);
    almost[cnfOffset(40, Reserved7)] ^= 1; // a carried byte counts as much as any
    QVERIFY(writeBrvFile(other, almost));
    Sim sim({"--state", state});

    const CliRun verify = runCli({"verify", other, "--port", Port});
    QCOMPARE(verify.err, QString());
    QCOMPARE(verify.out, "Controller differs from " + other + "\n");
    QCOMPARE(verify.status, 1);
    QCOMPARE(sim.framesReceived(), QStringList{ChecksumFrame});
    QCOMPARE(fileBytes(state), tableBytes(patternTable(5)));
}

void TestCliLink::faults_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("frames");    // the stand-in received; nothing is sent after a failure
    QTest::addColumn<bool>("existing"); // upload: the file is there before

    QTest::newRow("download: silent on block 1") << "download"
                                                 << "silent@1" << 4 << 1 << false;
    QTest::newRow("download: bad checksum on block 5") << "download"
                                                       << "badsum@5" << 4 << 5 << false;
    QTest::newRow("download: junk before block 2's reply") << "download"
                                                           << "junk@2" << 4 << 2 << false;
    QTest::newRow("download: extra after the key block's reply") << "download"
                                                                 << "extra@9" << 4 << 9 << false;
    QTest::newRow("download: line hung up on block 3") << "download"
                                                       << "hangup@3" << 4 << 3 << false;
    QTest::newRow("download: no checksum reply") << "download"
                                                 << "silent@10" << 52 << 10 << false;
    QTest::newRow("download: bad checksum reply") << "download"
                                                  << "badsum@10" << 52 << 10 << false;
    QTest::newRow("download: high half differs") << "download"
                                                 << "high" << 61 << 10 << false;
    QTest::newRow("download: low half differs") << "download"
                                                << "low" << 62 << 10 << false;
    QTest::newRow("download: lower-case replies") << "download"
                                                  << "lower" << 0 << 10 << false;

    QTest::newRow("upload: short reply to block 1") << "upload"
                                                    << "short@1" << 71 << 1 << false;
    QTest::newRow("upload: bad checksum on block 4") << "upload"
                                                     << "badsum@4" << 71 << 4 << true;
    QTest::newRow("upload: key block silent") << "upload"
                                              << "silent@9" << 71 << 9 << false;
    QTest::newRow("upload: junk before block 6's reply") << "upload"
                                                         << "junk@6" << 71 << 6 << false;
    QTest::newRow("upload: line hung up on block 1") << "upload"
                                                     << "hangup@1" << 71 << 1 << true;
    QTest::newRow("upload: short checksum reply") << "upload"
                                                  << "short@10" << 52 << 10 << false;
    QTest::newRow("upload: high half differs") << "upload"
                                               << "high@10" << 61 << 10 << true;
    QTest::newRow("upload: low half differs") << "upload"
                                              << "low@10" << 62 << 10 << false;
    QTest::newRow("upload: lower-case replies") << "upload"
                                                << "lower" << 0 << 10 << true;

    QTest::newRow("verify: no reply") << "verify"
                                      << "silent" << 52 << 1 << false;
    QTest::newRow("verify: bad checksum") << "verify"
                                          << "badsum" << 52 << 1 << false;
    QTest::newRow("verify: extra characters") << "verify"
                                              << "extra" << 52 << 1 << false;
    QTest::newRow("verify: high half differs") << "verify"
                                               << "high" << 1 << 1 << false;
    QTest::newRow("verify: low half differs") << "verify"
                                              << "low" << 1 << 1 << false;
    QTest::newRow("verify: lower-case reply") << "verify"
                                              << "lower" << 0 << 1 << false;
}

void TestCliLink::faults() {
    QFETCH(QString, command);
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(int, frames);
    QFETCH(bool, existing);
    const QString state = home() + QStringLiteral("/controller.BRV");
    const QString site = home() + QStringLiteral("/site.BRV");
    QVERIFY(writeBrvFile(state, patternTable(5)));
    const QByteArray before = tableBytes(patternTable(command == "upload" ? 9 : 5));
    if (existing || command != "upload") {
        QVERIFY(writeBytes(site, before));
    }
    Sim sim({"--state", state, "--fault", fault});

    const CliRun run = runCli({command, site, "--port", Port});
    QCOMPARE(run.status, status);
    if (command == "download") {
        QCOMPARE(run.out, status == 0 ? QStringLiteral("Download Complete\n") : QString());
        QCOMPARE(run.err, status == 0 ? QString() : downloadError(status));
    } else if (command == "upload") {
        QCOMPARE(run.out, status == 0 ? QStringLiteral("Upload Complete\n") : QString());
        QCOMPARE(run.err, status == 0 ? QString() : uploadError(status, site));
        if (status == 0) {
            QCOMPARE(fileBytes(site), tableBytes(patternTable(5)));
        } else if (existing) {
            QCOMPARE(fileBytes(site), before);
        } else {
            QVERIFY(!QFileInfo::exists(site));
        }
        // No half-written file beside it either.
        QCOMPARE(QDir(home()).entryList({"site*"}, QDir::Files),
                 (existing || status == 0) ? QStringList{"site.BRV"} : QStringList{});
    } else if (status == 52) {
        QCOMPARE(run.out, QString());
        QCOMPARE(run.err, QStringLiteral("Verify Error: 52\nThe controller gave no valid answer "
                                         "to the checksum request.\n"));
    } else {
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out,
                 (status == 0 ? "Controller matches " : "Controller differs from ") + site + "\n");
    }
    QCOMPARE(sim.framesReceived().size(), frames);
}

void TestCliLink::portCannotOpen_data() {
    QTest::addColumn<QString>("command");
    QTest::newRow("download") << "download";
    QTest::newRow("upload") << "upload";
    QTest::newRow("verify") << "verify";
}

void TestCliLink::portCannotOpen() {
    QFETCH(QString, command);
    // With the ports folder in place, COM9 is an entry nobody made.
    QVERIFY(QDir().mkpath(portsFolder()));
    const QString site = home() + QStringLiteral("/site.BRV");
    if (command != "upload") {
        QVERIFY(writeBrvFile(site, patternTable(1)));
    }
    const CliRun run = runCli({command, site, "--port", "9"});
    QCOMPARE(run.err, QStringLiteral("Unable To Open Port\n"));
    QCOMPARE(run.out, QString());
    QCOMPARE(run.status, 3);
    QCOMPARE(QFileInfo::exists(site), command != "upload");
}

void TestCliLink::trace_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("expected");

    const ControllerImage image = controllerImage(patternTable(5));
    const auto write = [&](int block) {
        return "sent     " + QString::fromLatin1(commandFrame(blockWriteCommand(block, image)));
    };
    const auto read = [](int block) {
        return "sent     " + QString::fromLatin1(commandFrame(blockReadCommand(block)));
    };
    const auto blockHexOf = [&](int block) {
        return "received " + QString::fromLatin1(replyFrame(blockHex(image, block))) +
               "  checksum holds";
    };
    const QString opened = "opened COM1 (" + portsFolder() + "/COM1)";
    const QString sum =
        QString::fromLatin1(replyFrame(Hex4(std::int32_t(ImageChecksum(image) >> 16U)) +
                                       Hex4(std::int32_t(ImageChecksum(image) & 0xFFFFU))));

    QTest::newRow("verify matches")
        << "verify"
        << "" << 0
        << QStringList{opened, "sent     " + ChecksumFrame, "received " + sum + "  checksum holds",
                       "closed"};
    QTest::newRow("verify without a reply")
        << "verify"
        << "silent" << 52
        << QStringList{opened,
                       "sent     " + ChecksumFrame,
                       "no reply within the time-out",
                       "closed",
                       "message: Verify Error: 52",
                       "message: The controller gave no valid answer to the checksum request."};
    QTest::newRow("download, block 2 answered with a bad checksum")
        << "download"
        << "badsum@2" << 4
        << QStringList{opened,
                       write(0),
                       "received [F500]  checksum holds",
                       write(1),
                       "received [F600]  checksum wrong",
                       "closed",
                       "message: Download Error: 4",
                       QStringLiteral("message: Brevane will not function properly until a "
                                      "download is complete.")};
    QTest::newRow("upload") << "upload"
                            << "" << 0
                            << QStringList{opened,
                                           read(0),
                                           blockHexOf(0),
                                           read(1),
                                           blockHexOf(1),
                                           read(2),
                                           blockHexOf(2),
                                           read(3),
                                           blockHexOf(3),
                                           read(4),
                                           blockHexOf(4),
                                           read(5),
                                           blockHexOf(5),
                                           read(6),
                                           blockHexOf(6),
                                           read(7),
                                           blockHexOf(7),
                                           read(8),
                                           blockHexOf(8),
                                           "sent     " + ChecksumFrame,
                                           "received " + sum + "  checksum holds",
                                           "closed"};
    QTest::newRow("short reply to block 1")
        << "upload"
        << "short@1" << 71
        << QStringList{opened,
                       read(0),
                       "no reply within the time-out, waiting: " +
                           blockHexOf(0).mid(9).chopped(QStringLiteral("]  checksum holds").size()),
                       "closed",
                       "message: Upload Error: 71",
                       "message: All Host Data Cleared.",
                       "message: " + home() + "/site.BRV not written."};
}

void TestCliLink::trace() {
    QFETCH(QString, command);
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QStringList, expected);
    const QString state = home() + QStringLiteral("/controller.BRV");
    const QString site = home() + QStringLiteral("/site.BRV");
    QVERIFY(writeBrvFile(state, patternTable(5)));
    if (command != "upload") {
        QVERIFY(writeBrvFile(site, patternTable(5)));
    }
    QStringList simArguments{"--state", state};
    if (!fault.isEmpty()) {
        simArguments << "--fault" << fault;
    }
    Sim sim(simArguments);

    const CliRun run = runCli(QStringList{command, site, "--port", Port, "--trace"});
    QCOMPARE(run.status, status);
    const QStringList lines = traceLines(run.err);
    QCOMPARE(lines, expected);
}

QTEST_GUILESS_MAIN(TestCliLink)
#include "tst_cli_link.moc"
