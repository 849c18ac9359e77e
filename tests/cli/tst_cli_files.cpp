// The real brevane-cli on hand-made files: show, diff, help, bad arguments, bad files.

#include <QtTest>

#include "files/brvfile.h"
#include "tests/support/clirun.h"
#include "tests/support/testhome.h"

namespace {

void set(CnfTable& cnf, int link, std::initializer_list<std::uint8_t> fields) {
    int field = 0;
    for (const std::uint8_t value : fields) {
        cnf[cnfOffset(link - 1, field++)] = value;
    }
}

void setKeyBytes(CnfTable& cnf, int firstLink, const QByteArray& bytes) {
    for (int k = 0; k < bytes.size(); ++k) {
        cnf[cnfOffset(firstLink - 1 + k, KeyChar)] = static_cast<std::uint8_t>(bytes[k]);
    }
}

// Links 01, 05, 12, 30 and 50 set by hand, carried bytes in links 17, 30 and 64, keys
// "Orvik" and a"b,é plus a code that does not print.
CnfTable tableA() {
    CnfTable cnf{};
    set(cnf, 1, {1, 0x1A, 2, 2, 0, 10});
    set(cnf, 5, {1, 0, 0, 0xFD, 1, 0});
    set(cnf, 12, {0, 255, 1, 255, 1, 255});
    set(cnf, 30, {1, 1, 3, 9, 0, 0, 18, 200});
    set(cnf, 50, {0, 0, 0, 0, 1, 0});
    cnf[cnfOffset(63, KeyChar)] = 7;
    cnf[cnfOffset(16, KeyChar)] = 5; // the first field 8 past the keys
    setKeyBytes(cnf, 1, "Orvik");
    setKeyBytes(cnf, 9, "a\"b,\xE9\x81");
    return cnf;
}

// Site A with a change of every kind.
CnfTable tableB() {
    CnfTable cnf = tableA();
    set(cnf, 1, {0, 0x1A, 2, 10});      // off; ref wraps to the same relay range
    set(cnf, 5, {1, 0x1A, 2, 0xFD, 0}); // node, type; ref byte unchanged; incoming off
    cnf[cnfOffset(11, IRef)] = 10;
    cnf[cnfOffset(29, Reserved6)] = 0;
    cnf[cnfOffset(39, Reserved7)] = 1;
    cnf[cnfOffset(49, IEnabled)] = 2;
    cnf[cnfOffset(63, KeyChar)] = 0;
    cnf[cnfOffset(2, KeyChar)] = 0;                    // "Orvik" -> "Orik"
    setKeyBytes(cnf, 13, QByteArray("\0\xE9\x81", 3)); // the same key, as the window packs it
    return cnf;
}

// Every row the default one except those given, by link number.
QString rows(const QMap<int, QString>& special, const QString& defaultRow) {
    QString text;
    for (int link = 1; link <= LinkSlots; ++link) {
        text +=
            special.value(link, defaultRow.arg(link, 2, 10, QLatin1Char('0'))) + QLatin1Char('\n');
    }
    return text;
}

} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT

    QString m_home;
    QString m_siteA;

private slots:
    void initTestCase() {
        m_home = useFreshHome();
        m_siteA = m_home + QStringLiteral("/Site A.BRV");
        QVERIFY(writeBrvFile(m_siteA, tableA()));
        QVERIFY(writeBrvFile(m_home + QStringLiteral("/Site B.BRV"), tableB()));
        QVERIFY(writeBrvFile(m_home + QStringLiteral("/copy of A.brv"), tableA()));
        QFile shortFile(m_home + QStringLiteral("/short.BRV"));
        QVERIFY(shortFile.open(QIODevice::WriteOnly) &&
                shortFile.write(QByteArray(575, '\1')) == 575);
    }

    void showText() {
        const QString expected =
            QStringLiteral("Link     Outgoing  Node      Type         Ref    Incoming  Ref\n") +
            rows({{1, "Link 01  on        Node: 1A  Relays       17-24  off       Quendel NC.0B"},
                  {5, "Link 05  on        Node: NC  Quendel      FE     on        Quendel NC.01"},
                  {12, "Link 12  off       Node: FF  QD PC        00     on        Quendel NC.00"},
                  {30, "Link 30  on        Node: 01  unknown (3)  09-16  off       Quendel NC.01"},
                  {50, "Link 50  off       Node: NC  Quendel      01     on        Quendel NC.01"}},
                 "Link %1  off       Node: NC  Quendel      01     off       Quendel NC.01") +
            QStringLiteral("\nOutgoing key: \"Orvik\"\nIncoming key: \"a\\\"b,é\\x81\"\n\n"
                           "Carried bytes the window does not show:\n"
                           "Link 17 field 8: 5\nLink 30 field 6: 18\nLink 30 field 7: 200\n"
                           "Link 64 field 8: 7\n\nController checksum: F23E 7C2E\n");
        const CliRun run = runCli({"show", m_siteA});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, expected);
        QCOMPARE(run.status, 0);
    }

    void showCsvAndJson() {
        const CliRun csv = runCli({"show", m_siteA, "--format", "csv"});
        QCOMPARE(csv.status, 0);
        const QStringList lines = csv.out.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 66);
        QCOMPARE(lines[0],
                 "Link,Outgoing,OEnabled,Node,ONode,Type,OType,Ref,ORef,Incoming,IEnabled,"
                 "Incoming ref,IRef,Reserved6,Reserved7,Key character,KeyChar,Controller checksum");
        const QMap<int, QString> csvRows{
            {1,
             "Link 01,on,1,Node: 1A,26,Relays,2,17-24,2,off,0,Quendel NC.0B,10,0,0,O,79,F23E 7C2E"},
            {10,
             R"(Link 10,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,"""",34,F23E 7C2E)"},
            {12, "Link 12,off,0,Node: FF,255,QD PC,1,00,255,on,1,Quendel NC.00,255,0,0,\",\","
                 "44,F23E 7C2E"},
            {30, "Link 30,on,1,Node: 01,1,,3,09-16,9,off,0,Quendel NC.01,0,18,200,,0,F23E 7C2E"}};
        for (auto it = csvRows.cbegin(); it != csvRows.cend(); ++it) {
            QCOMPARE(lines[it.key()], it.value());
        }

        const CliRun json = runCli({"show", m_siteA, "--format", "json"});
        QCOMPARE(json.status, 0);
        const QJsonObject root = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(root.value("controllerChecksum").toString(), "F23E 7C2E");
        const QJsonArray links = root.value("links").toArray();
        QCOMPARE(links[29].toObject(), QJsonDocument::fromJson(R"({"link": "Link 30",
            "outgoing": {"state": "on", "node": "Node: 01", "type": null, "ref": "09-16"},
            "incoming": {"state": "off", "ref": "Quendel NC.01"}, "fields": {"OEnabled": 1,
            "ONode": 1, "OType": 3, "ORef": 9, "IEnabled": 0, "IRef": 0, "Reserved6": 18,
            "Reserved7": 200, "KeyChar": 0}})")
                                           .object());
    }

    void diff() {
        const QString expected =
            QStringLiteral("Link 01 outgoing: on → off\n"
                           "Link 01 outgoing: ref 17-24 → 17-24 (field 3: 2 → 10)\n"
                           "Link 05 outgoing: node NC → 1A\n"
                           "Link 05 outgoing: type Quendel → Relays\n"
                           "Link 05 incoming: on → off\n"
                           "Link 12 incoming: ref Quendel NC.00 → Quendel NC.0B\n"
                           "Link 30 field 6: 18 → 0\n"
                           "Link 40 field 7: 0 → 1\n"
                           "Link 50 incoming: on → on (field 4: 1 → 2)\n"
                           "Link 64 field 8: 7 → 0\n"
                           "Outgoing key: \"Orvik\" → \"Orik\"\n");
        for (const QString& b : {QStringLiteral("/Site B.BRV"), QStringLiteral("/copy of A.brv")}) {
            const CliRun run = runCli({"diff", m_siteA, m_home + b});
            const bool same = b.startsWith(QStringLiteral("/copy"));
            QCOMPARE(run.err, QString());
            QCOMPARE(run.out, same ? QStringLiteral("No differences\n") : expected);
            QCOMPARE(run.status, same ? 0 : 1);
        }
    }

    // Results written onto a full disk are no success.
    void outputLost() {
        if (!QFile::exists("/dev/full")) {
            QSKIP("no /dev/full on this system");
        }
        QProcess process;
        process.setStandardOutputFile("/dev/full");
        process.start(BREVANE_CLI, {"show", m_siteA});
        QVERIFY(process.waitForFinished());
        QCOMPARE(consoleText(process.readAllStandardError()),
                 "brevane-cli: cannot write the output: No space left on device\n");
        QCOMPARE(process.exitCode(), 2);
    }

    // The system's own list of ports, read for real: under Wine it holds the port that
    // test-wine.sh mapped to the stand-in.
    void systemPorts() {
#ifndef Q_OS_WIN
        QSKIP("the ports folder's report is tst_clicore's");
#else
        const int number = qEnvironmentVariableIntValue("BREVANE_TEST_COM");
        if (number == 0) {
            QSKIP("BREVANE_TEST_COM names no mapped port");
        }
        const CliRun run = runCli({"ports"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("COM numbers are the system's own:\n"));
        const QRegularExpression present(
            QStringLiteral(R"(^COM%1 +\\Device\\\S+ +present)").arg(number),
            QRegularExpression::MultilineOption);
        QVERIFY2(present.match(run.out).hasMatch(), qPrintable(run.out));
#endif
    }

    // Row names are the arguments; A, SHORT, MISSING, NOFOLDER and HOME stand for paths.
    // Each is refused with status 2 and one line on err.
    void refused_data() {
        QTest::addColumn<QString>("message");
        const auto row = [](const char* arguments, const QString& text, const QString& help = "-") {
            const QString see = QStringLiteral(" (see 'brevane-cli help%1')")
                                    .arg(help.isEmpty() ? help : ' ' + help);
            QTest::newRow(arguments) << (help == "-" ? text : text + see);
        };
        QFile missing(m_home + QStringLiteral("/none.BRV"));
        QVERIFY(!missing.open(QIODevice::ReadOnly));
        row("erase A", "unknown command 'erase'", "");
        row("show MISSING", "cannot read " + missing.fileName() + ": " + missing.errorString());
        row("diff A", "diff takes two files", "diff");
        row("diff A SHORT", "cannot read " + m_home +
                                "/short.BRV: The file holds 575 bytes; a configuration file "
                                "holds 576.");
        row("download A", "download needs --port N (1 to 256)", "download");
        row("download A --port 0", "--port takes a number from 1 to 256, not '0'", "download");
        row("verify A --port 257", "--port takes a number from 1 to 256, not '257'", "verify");
        row("upload NOFOLDER --port 1",
            "cannot write " + m_home + "/no folder/site.BRV: its folder does not exist");
        row("upload HOME --port 1", "cannot write " + m_home + ": it is a folder");
    }
    void refused() {
        QFETCH(QString, message);
        const QMap<QString, QString> paths{{"A", m_siteA},
                                           {"SHORT", m_home + "/short.BRV"},
                                           {"MISSING", m_home + "/none.BRV"},
                                           {"NOFOLDER", m_home + "/no folder/site.BRV"},
                                           {"HOME", m_home}};
        QStringList arguments;
        for (const QString& word : QString::fromLatin1(QTest::currentDataTag()).split(' ')) {
            arguments << paths.value(word, word);
        }
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.err, "brevane-cli: " + message + "\n");
        QCOMPARE(run.out, QString());
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_cli_files.moc"
