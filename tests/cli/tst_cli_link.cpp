// The real brevane-cli against the controller stand-in: for each command and kind of outcome
// the exit status, what it prints, how many frames it sent and what is left in the file and
// the controller. The transfer faults themselves are tst_transfer's.

#include <QtTest>

#include "files/brvfile.h"
#include "tests/support/clirun.h"
#include "tests/support/simprocess.h"
#include "tests/support/testhome.h"

namespace {

// Link 01's outgoing node and the key bytes of links 01 on.
CnfTable table(std::uint8_t node, const QByteArray& keys) {
    CnfTable cnf{};
    cnf[cnfOffset(0, ONode)] = node;
    for (int k = 0; k < keys.size(); ++k) {
        cnf[cnfOffset(k, KeyChar)] = std::uint8_t(keys[k]);
    }
    return cnf;
}

// The stand-in starts with "held"; "holed" (key bytes X, 0, Y) goes out as the window packs
// it, as "mine".
const QMap<QString, std::optional<CnfTable>> Tables{{"held", table(0x1A, "XY")},
                                                    {"mine", table(0x2B, "XY")},
                                                    {"holed", table(0x2B, QByteArray("X\0Y", 3))},
                                                    {"none", std::nullopt}};

const QString NotRead = QStringLiteral("%1 Error: %2\nThe controller's table could not be read.\n");

// No stand-in, and the command on COM17, an entry nobody made.
const QString NoPort = QStringLiteral("no port");

// One run of brevane-cli: the command on the file holding a table of Tables (or none),
// with the stand-in on COM1 holding "held" and misbehaving as fault says ("-": not at all),
// with further options.
struct Run {
    QString command{};
    QString fault = QStringLiteral("-");
    QString file{};
    QStringList options{};
};

} // namespace

class TestCliLink : public QObject {
    Q_OBJECT

    QString m_home;
    QString m_site;  // the file on the installer's side
    QString m_state; // what the stand-in holds
    std::optional<SimProcess> m_sim;

    // The stand-in on COM1 holding "held", misbehaving as fault ("-": not at all).
    bool startStandIn(const QString& fault) {
        QStringList arguments{"--port", "1", "--no-pacing", "--state", m_state};
        m_sim.emplace(fault == "-" ? arguments : arguments << "--fault" << fault);
        return !m_sim->nextLine().isEmpty();
    }

private slots:
    void init() {
        m_home = useFreshHome();
        m_site = m_home + "/site.BRV";
        m_state = m_home + "/controller.BRV";
        QVERIFY(writeBrvFile(m_state, *Tables["held"]));
        // With the ports folder in place, COM17 (above the menu's 16) is an entry nobody made.
        QVERIFY(QDir::home().mkpath("Orvik Tessaly Net/ports"));
        qputenv("TZ", "Asia/Kolkata"); // a backup's local-time stamp would show
    }
    void cleanup() { m_sim.reset(); }

    // Statuses 0 and 1 print on out, the others on err; SITE and HOME stand for their paths.
    void commands_data() {
        QTest::addColumn<Run>("run");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<int>("frames");        // the stand-in took
        QTest::addColumn<QString>("fileAfter"); // the file's table afterwards, of Tables
        QTest::addColumn<QString>("heldAfter"); // what the stand-in holds afterwards
        const auto row = [](const Run& run, int status, const QString& printed, int frames,
                            const char* fileAfter, const char* heldAfter) {
            const QStringList name = QStringList{run.command, run.fault, run.file} + run.options;
            QTest::newRow(qPrintable(name.join(' ')))
                << run << status << printed << frames << fileAfter << heldAfter;
        };
        const QString noPort = QStringLiteral(
            "Unable To Open Port\nCOM17 (HOME/Orvik Tessaly Net/ports/COM17): no such port\n");
        row({.command = "download", .file = "holed"}, 0, "Download Complete\n", 10, "holed",
            "mine");
        // A block the stand-in took stays with it.
        row({.command = "download", .fault = "badsum@10", .file = "mine"}, 52,
            "Download Error: 52\nBrevane will not function properly until a download is "
            "complete.\n",
            10, "mine", "mine");
        row({.command = "download", .fault = NoPort, .file = "mine"}, 3, noPort, 0, "mine", "held");
        row({.command = "download",
             .fault = "high@10",
             .file = "mine",
             .options = {"--backup", "HOME/b"}},
            61, NotRead.arg("Backup").arg(61) + "Nothing was downloaded.\n", 10, "mine", "held");
        row({.command = "download", .file = "mine", .options = {"--backup", "SITE"}}, 2,
            "brevane-cli: cannot create the folder SITE\n", 0, "mine", "held");
        row({.command = "upload", .file = "none"}, 0, "Upload Complete\n", 10, "held", "held");
        row({.command = "upload", .fault = "high@10", .file = "mine"}, 61,
            "Upload Error: 61\nAll Host Data Cleared.\nSITE not written.\n", 10, "mine", "held");
        row({.command = "upload", .fault = NoPort, .file = "none"}, 3, noPort, 0, "none", "held");
        row({.command = "verify", .file = "held"}, 0, "Controller matches SITE\n", 1, "held",
            "held");
        row({.command = "verify", .file = "mine"}, 1, "Controller differs from SITE\n", 1, "mine",
            "held");
        // The second half of the controller's checksum counts too.
        row({.command = "verify", .fault = "low", .file = "held"}, 1,
            "Controller differs from SITE\n", 1, "held", "held");
        row({.command = "compare", .file = "held"}, 0, "No differences\n", 10, "held", "held");
        row({.command = "compare", .file = "mine"}, 1, "Link 01 outgoing: node 2B → 1A\n", 10,
            "mine", "held");
        row({.command = "compare", .file = "mine", .options = {"--format", "json"}}, 1,
            R"({"differences":[{"controller":"1A","controllerValue":26,"field":1,"file":"2B",)"
            R"("fileValue":43,"what":"node","where":"Link 01 outgoing"}],"same":false})",
            10, "mine", "held");
        row({.command = "compare", .fault = "badsum@3", .file = "held"}, 71,
            NotRead.arg("Compare").arg(71), 3, "held", "held");
    }
    void commands() {
        QFETCH(Run, run);
        QFETCH(int, status);
        QFETCH(QString, printed);
        QFETCH(int, frames);
        QVERIFY(run.file == "none" || writeBrvFile(m_site, *Tables[run.file]));
        QVERIFY(run.fault == NoPort || startStandIn(run.fault));
        QStringList arguments{run.command, m_site, "--port", run.fault == NoPort ? "17" : "1"};
        for (const QString& word : run.options) {
            arguments << QString(word).replace("HOME", m_home).replace("SITE", m_site);
        }
        const CliRun cli = runCli(arguments);
        QCOMPARE(cli.status, status);
        const QJsonDocument json = QJsonDocument::fromJson(cli.out.toUtf8());
        const QString out =
            json.isObject() ? QString::fromUtf8(json.toJson(QJsonDocument::Compact)) : cli.out;
        QCOMPARE(status < 2 ? out : cli.err,
                 printed.replace("SITE", m_site).replace("HOME", m_home));
        QCOMPARE(status < 2 ? cli.err : out, QString());
        QCOMPARE(m_sim ? int(m_sim->receivedFrames().size()) : 0, frames);
        QFETCH(QString, fileAfter);
        QFETCH(QString, heldAfter);
        QCOMPARE(readBrvFile(m_site), Tables[fileAfter]);
        QCOMPARE(readBrvFile(m_state), Tables[heldAfter]);
        // Nothing half-written beside them, and no backup of a failed read.
        QCOMPARE(QDir(m_home).entryList(QDir::Files).size(), fileAfter == "none" ? 1 : 2);
        QVERIFY(!QDir(m_home + "/b").exists() || QDir(m_home + "/b").isEmpty());
    }

    // The controller's former table is kept in a file named by the UTC time.
    void backup() {
        QVERIFY(writeBrvFile(m_site, *Tables["mine"]));
        QVERIFY(startStandIn("-"));
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const CliRun run = runCli({"download", m_site, "--port", "1", "--backup", m_home + "/b"});
        QCOMPARE(run.status, 0);
        const QFileInfoList backups = QDir(m_home + "/b").entryInfoList(QDir::Files);
        QCOMPARE(backups.size(), 1);
        QCOMPARE(run.out, "Download Complete\nThe controller's former table is in " +
                              backups[0].filePath() + '\n');
        QDateTime taken =
            QDateTime::fromString(backups[0].fileName(), "'COM1-'yyyyMMdd-HHmmss'.BRV'");
        taken.setTimeZone(QTimeZone::utc());
        QVERIFY2(taken >= before && taken <= QDateTime::currentDateTimeUtc(),
                 qPrintable(backups[0].fileName()));
        QCOMPARE(readBrvFile(backups[0].filePath()), Tables["held"]);
        QCOMPARE(readBrvFile(m_state), Tables["mine"]);
    }

    // ping on a paced line straight from the stand-in, and through a 16 ms adapter.
    void ping_data() {
        QTest::addColumn<QString>("adapterMs");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("perfect line") << "0"
                                      << "Every reply came promptly: the line is good.\n";
        QTest::newRow("16 ms adapter") << "16"
                                       << "The adapter holds each reply about ";
    }
    void ping() {
        QFETCH(QString, adapterMs);
        QFETCH(QString, verdict);
        SimProcess sim({"--port", "1", "--adapter-latency", adapterMs});
        QVERIFY(!sim.nextLine().isEmpty());
        const CliRun run = runCli({"ping", "--port", "1", "--count", "8"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains(verdict), qPrintable(run.out));
        QCOMPARE(sim.receivedFrames(), QList<QByteArray>(8, "[0A003F00000023F]"));
    }
};

QTEST_GUILESS_MAIN(TestCliLink)
#include "tst_cli_link.moc"
