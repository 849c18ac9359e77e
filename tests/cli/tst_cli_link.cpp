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

    // Row names: the command, the stand-in's fault ("-": none; "no-port": no stand-in), the
    // file there before, further arguments. SITE and HOME stand for their paths. Statuses 0
    // and 1 print on out, the others on err.
    void commands_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<int>("frames");        // the stand-in took
        QTest::addColumn<QStringList>("after"); // the file, what the stand-in holds
        const QString noPort = QStringLiteral(
            "Unable To Open Port\nCOM17 (HOME/Orvik Tessaly Net/ports/COM17): no such port\n");
        using L = QStringList;
        QTest::newRow("download - holed") << 0 << "Download Complete\n" << 10 << L{"holed", "mine"};
        // A block the stand-in took stays with it.
        QTest::newRow("download badsum@10 mine")
            << 52
            << "Download Error: 52\nBrevane will not function properly until a download is "
               "complete.\n"
            << 10 << L{"mine", "mine"};
        QTest::newRow("download no-port mine") << 3 << noPort << 0 << L{"mine", "held"};
        QTest::newRow("download high@10 mine --backup HOME/b")
            << 61 << NotRead.arg("Backup").arg(61) + "Nothing was downloaded.\n"
            << 10 << L{"mine", "held"};
        QTest::newRow("download - mine --backup SITE")
            << 2 << "brevane-cli: cannot create the folder SITE\n"
            << 0 << L{"mine", "held"};
        QTest::newRow("upload - none") << 0 << "Upload Complete\n" << 10 << L{"held", "held"};
        QTest::newRow("upload high@10 mine")
            << 61 << "Upload Error: 61\nAll Host Data Cleared.\nSITE not written.\n"
            << 10 << L{"mine", "held"};
        QTest::newRow("upload no-port none") << 3 << noPort << 0 << L{"none", "held"};
        QTest::newRow("verify - held") << 0 << "Controller matches SITE\n"
                                       << 1 << L{"held", "held"};
        QTest::newRow("verify - mine") << 1 << "Controller differs from SITE\n"
                                       << 1 << L{"mine", "held"};
        // The second half of the controller's checksum counts too.
        QTest::newRow("verify low held") << 1 << "Controller differs from SITE\n"
                                         << 1 << L{"held", "held"};
        QTest::newRow("verify badsum held")
            << 52
            << "Verify Error: 52\nThe controller gave no valid answer to the checksum request.\n"
            << 1 << L{"held", "held"};
        QTest::newRow("verify no-port held") << 3 << noPort << 0 << L{"held", "held"};
        QTest::newRow("compare - held") << 0 << "No differences\n" << 10 << L{"held", "held"};
        QTest::newRow("compare - mine") << 1 << "Link 01 outgoing: node 2B → 1A\n"
                                        << 10 << L{"mine", "held"};
        QTest::newRow("compare - mine --format json")
            << 1
            << R"({"differences":[{"controller":"1A","controllerValue":26,"field":1,"file":"2B",)"
               R"("fileValue":43,"what":"node","where":"Link 01 outgoing"}],"same":false})"
            << 10 << L{"mine", "held"};
        QTest::newRow("compare badsum@3 held")
            << 71 << NotRead.arg("Compare").arg(71) << 3 << L{"held", "held"};
    }
    void commands() {
        const QStringList tag = QString::fromLatin1(QTest::currentDataTag()).split(u' ');
        QFETCH(int, status);
        QFETCH(QString, printed);
        QFETCH(int, frames);
        QFETCH(QStringList, after);
        QVERIFY(tag[2] == "none" || writeBrvFile(m_site, *Tables[tag[2]]));
        QVERIFY(tag[1] == "no-port" || startStandIn(tag[1]));
        QStringList arguments{tag[0], m_site, "--port", tag[1] == "no-port" ? "17" : "1"};
        for (const QString& word : tag.mid(3)) {
            arguments << QString(word).replace("HOME", m_home).replace("SITE", m_site);
        }
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, status);
        const QJsonDocument json = QJsonDocument::fromJson(run.out.toUtf8());
        const QString out =
            json.isObject() ? QString::fromUtf8(json.toJson(QJsonDocument::Compact)) : run.out;
        QCOMPARE(status < 2 ? out : run.err,
                 printed.replace("SITE", m_site).replace("HOME", m_home));
        QCOMPARE(status < 2 ? run.err : out, QString());
        QCOMPARE(m_sim ? int(m_sim->receivedFrames().size()) : 0, frames);
        QCOMPARE(readBrvFile(m_site), Tables[after[0]]);
        QCOMPARE(readBrvFile(m_state), Tables[after[1]]);
        // Nothing half-written beside them, and no backup of a failed read.
        QCOMPARE(QDir(m_home).entryList(QDir::Files).size(), after[0] == "none" ? 1 : 2);
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
