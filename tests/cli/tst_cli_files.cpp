// The real brevane-cli on hand-made files: show, diff, report, help, bad arguments, bad
// files.

#include <QtTest>

#include <csignal>

#include "files/brvfile.h"
#include "tests/support/clirun.h"
#include "tests/support/testhome.h"

namespace {

// Fields of one link (numbered from 1) set by name.
void set(CnfTable& cnf, int link, std::initializer_list<std::pair<CnfField, std::uint8_t>> fields) {
    for (const auto& [field, value] : fields) {
        cnf[cnfOffset(link - 1, field)] = value;
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
    set(cnf, 1, {{OEnabled, 1}, {ONode, 0x1A}, {OType, 2}, {ORef, 2}, {IRef, 10}});
    set(cnf, 5, {{OEnabled, 1}, {ORef, 0xFD}, {IEnabled, 1}});
    set(cnf, 12, {{ONode, 255}, {OType, 1}, {ORef, 255}, {IEnabled, 1}, {IRef, 255}});
    set(cnf, 30,
        {{OEnabled, 1}, {ONode, 1}, {OType, 3}, {ORef, 9}, {Reserved6, 18}, {Reserved7, 200}});
    set(cnf, 50, {{IEnabled, 1}});
    set(cnf, 64, {{KeyChar, 7}});
    set(cnf, 17, {{KeyChar, 5}}); // the first key character past the keys
    setKeyBytes(cnf, 1, "Orvik");
    setKeyBytes(cnf, 9, "a\"b,\xE9\x81");
    return cnf;
}

// Site A with a change of every kind.
CnfTable tableB() {
    CnfTable cnf = tableA();
    set(cnf, 1, {{OEnabled, 0}, {ORef, 10}}); // off; ref wraps to the same relay range
    set(cnf, 5, {{ONode, 0x1A}, {OType, 2}, {IEnabled, 0}}); // ref byte unchanged
    set(cnf, 12, {{IRef, 10}});
    set(cnf, 30, {{Reserved6, 0}});
    set(cnf, 40, {{Reserved7, 1}});
    set(cnf, 50, {{IEnabled, 2}});
    set(cnf, 64, {{KeyChar, 0}});
    set(cnf, 3, {{KeyChar, 0}});                       // "Orvik" -> "Orik"
    setKeyBytes(cnf, 13, QByteArray("\0\xE9\x81", 3)); // the same key, as the window packs it
    return cnf;
}

// A row of every kind: the NC's own node, a node number, QD PC, each relay range, values
// the window cannot pick (on as 2, node FF, type 3, station 256 and 255), a link set but
// not in use, and an incoming key with a 0 byte inside (packed, it is "Net").
CnfTable tableKinds() {
    CnfTable cnf{};
    set(cnf, 1, {{OEnabled, 1}, {IEnabled, 1}});
    set(cnf, 2, {{OEnabled, 1}, {ONode, 0x1A}, {OType, 1}, {ORef, 0x10}});
    for (std::uint8_t link = 3; link <= 10; ++link) {
        set(cnf, link, {{OEnabled, 1}, {ONode, link}, {OType, 2}, {ORef, std::uint8_t(link - 3)}});
    }
    set(cnf, 11, {{OEnabled, 2}, {ONode, 0xFF}, {OType, 3}, {ORef, 9}});
    set(cnf, 12, {{OEnabled, 1}, {ONode, 0xFE}, {ORef, 0xFF}, {IEnabled, 3}, {IRef, 0xFE}});
    set(cnf, 20, {{ONode, 5}, {OType, 1}, {ORef, 7}, {IRef, 9}});
    set(cnf, 33, {{IEnabled, 1}, {IRef, 0x20}});
    set(cnf, 41, {{OEnabled, 1}, {ONode, 0x29}, {OType, 1}, {ORef, 0xFD}});
    set(cnf, 64, {{IEnabled, 1}, {IRef, 0xFF}});
    setKeyBytes(cnf, 1, "Orvik");
    setKeyBytes(cnf, 9, QByteArray("N\0et", 4));
    return cnf;
}

// What a reader of a PDF sees: poppler's text (each line's words one space apart, blank
// lines left out, "--" between pages), and its page size.
QStringList pdfText(const QString& pdf) {
    QProcess text;
    text.start("pdftotext", {"-layout", pdf, "-"});
    QProcess info;
    info.start("pdfinfo", {pdf});
    QStringList lines;
    if (!text.waitForFinished() || !info.waitForFinished()) {
        return lines;
    }
    for (const QString& page :
         QString::fromUtf8(text.readAllStandardOutput()).split('\f', Qt::SkipEmptyParts)) {
        for (const QString& line : page.split('\n')) {
            if (!line.simplified().isEmpty()) {
                lines << line.simplified();
            }
        }
        lines << "--";
    }
    const QRegularExpression size(R"(Page size: +(.*))");
    return lines << size.match(QString::fromUtf8(info.readAllStandardOutput())).captured(1);
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
        CnfTable full{};
        for (int link = 1; link <= LinkSlots; ++link) {
            set(full, link, {{OEnabled, 1}, {IEnabled, 1}});
        }
        QVERIFY(QDir(m_home).mkdir("out"));
        for (const auto& [name, table] : {std::pair{"kinds", tableKinds()}, {"full", full}}) {
            QFile file(m_home + "/out/" + name + ".BRV");
            QVERIFY(writeBrvFile(file.fileName(), table) && file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime({2026, 12, 7}, {14, 30}),
                                     QFileDevice::FileModificationTime));
        }
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

    // The PDF read back by another program: every line, the page breaks and the paper.
    void report_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("expected");
        const QString note = "What the NC reports once it holds this table: the number that "
                             "brevane-cli verify and compare check.";
        const auto head = [this, note](const QString& name, const QString& checksum) {
            return QStringList{"Site record Orvik Brevane",
                               "File " + name + ".BRV",
                               "Folder " + QDir::toNativeSeparators(m_home + "/out"),
                               "Last changed 2026-12-07 14:30",
                               "Printed NOW with brevane-cli " + QString(BREVANE_VERSION),
                               "Controller checksum " + checksum,
                               note};
        };
        const QStringList hand{"Commissioning fill in by hand", "Controller location",
                               "Commissioned by", "Date", "Signature"};
        const QString kindsFoot = "Site record of kinds.BRV, controller checksum C9FC 01CF";
        const QStringList kinds =
            QStringList{"Outgoing links 13 of 64 in use",
                        "Link Node Type Ref Link Node Type Ref",
                        "Link 01 Node: NC Quendel 01 Link 08 Node: 08 Relays 41-48",
                        "Link 02 Node: 1A QD PC 11 Link 09 Node: 09 Relays 49-56",
                        "Link 03 Node: 03 Relays 01-08 Link 10 Node: 0A Relays 57-64",
                        "Link 04 Node: 04 Relays 09-16 Link 11 Node: FF unknown (3) 09-16",
                        "Link 05 Node: 05 Relays 17-24 Link 12 Node: FE Quendel 00",
                        "Link 06 Node: 06 Relays 25-32 Link 41 Node: 29 QD PC FE",
                        "Link 07 Node: 07 Relays 33-40",
                        "Links 13-40, 42-64 not in use",
                        "Incoming links 4 of 64 in use",
                        "Link Station Link Station",
                        "Link 01 Quendel NC.01 Link 33 Quendel NC.21",
                        "Link 12 Quendel NC.FF Link 64 Quendel NC.00",
                        "Links 02-11, 13-32, 34-63 not in use"} +
            hand + QStringList{kindsFoot + " Page 1 of 1", "--"};
        QTest::newRow("every kind, A4, keys hidden")
            << "kinds" << QStringList{"--paper", "a4"}
            << head("kinds", "C9FC 01CF") +
                   QStringList{"Outgoing key ••••• (5 characters)",
                               "Incoming key ••• (3 characters)"} +
                   kinds + QStringList{"595 x 842 pts (A4)"};
        QTest::newRow("every kind, Letter, keys shown")
            << "kinds" << QStringList{"--keys", "--paper", "LETTER"}
            << head("kinds", "C9FC 01CF") +
                   QStringList{"Outgoing key \"Orvik\"", "Incoming key \"Net\""} + kinds +
                   QStringList{"612 x 792 pts (letter)"};
        QStringList full =
            head("full", "1F10 DCF7") + QStringList{"Outgoing key none", "Incoming key none",
                                                    "Outgoing links 64 of 64 in use",
                                                    "Link Node Type Ref Link Node Type Ref"};
        const QString foot = "Site record of full.BRV, controller checksum 1F10 DCF7 Page %1 of 2";
        for (int link = 1; link <= 32; ++link) {
            full << QString("Link %1 Node: NC Quendel 01 Link %2 Node: NC Quendel 01")
                        .arg(link, 2, 10, QChar('0'))
                        .arg(link + 32);
        }
        full << foot.arg(1) << "--"
             << "Incoming links 64 of 64 in use"
             << "Link Station Link Station";
        for (int link = 1; link <= 32; ++link) {
            full << QString("Link %1 Quendel NC.01 Link %2 Quendel NC.01")
                        .arg(link, 2, 10, QChar('0'))
                        .arg(link + 32);
        }
        full << hand << foot.arg(2) << "--";
        QTest::newRow("full table, A4")
            << "full" << QStringList{"--paper", "a4"} << full + QStringList{"595 x 842 pts (A4)"};
        QTest::newRow("full table, Letter") << "full" << QStringList{"--paper", "letter"}
                                            << full + QStringList{"612 x 792 pts (letter)"};
    }
    void report() {
        QFETCH(QString, name);
        QFETCH(QStringList, options);
        QFETCH(QStringList, expected);
        if (QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            QSKIP("no pdftotext (Debian's poppler-utils) to read the PDF");
        }
        const QString brv = m_home + "/out/" + name + ".BRV";
        const QString pdf = m_home + "/out/" + name + ".pdf";
        const QDateTime before = QDateTime::currentDateTime();
        const CliRun run = runCli(QStringList{"report", brv} + options);
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out,
                 QString("Site record written to %1 (%2)\n")
                     .arg(QDir::toNativeSeparators(pdf), name == "full" ? "2 pages" : "1 page"));
        QCOMPARE(run.status, 0);
        QStringList text = pdfText(pdf);
        for (const QDateTime& time : {before, after}) {
            text.replaceInStrings("Printed " + time.toString("yyyy-MM-dd HH:mm"), "Printed NOW");
        }
        QCOMPARE(text, expected);
    }

    // A PDF that cannot be written whole (here past a file-size limit, as on a full disk):
    // the one already there keeps every byte, and no part of the new one is left.
    void reportKeepsOldPdf() {
#ifndef Q_OS_LINUX
        QSKIP("prlimit is Linux's");
#else
        std::signal(SIGXFSZ, SIG_IGN); // the child inherits it: the write fails instead
        QVERIFY(QDir(m_home).mkdir("kept"));
        QFile old(m_home + "/kept/A.pdf");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old record") == 10);
        old.close();
        QProcess process;
        process.start("prlimit",
                      {"--fsize=4096", BREVANE_CLI, "report", m_siteA, "-o", old.fileName()});
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.readAllStandardError(),
                 "brevane-cli: cannot write " + old.fileName() + ": File too large\n");
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), "old record");
        QCOMPARE(QDir(m_home + "/kept").entryList(QDir::Files | QDir::Hidden),
                 QStringList{"A.pdf"});
#endif
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
        const auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
        row("report SHORT", "cannot read " + m_home +
                                "/short.BRV: The file holds 575 bytes; a configuration file "
                                "holds 576.");
        row("report A -o NOFOLDER", "cannot write " + native(m_home + "/no folder/site.BRV") +
                                        ": its folder does not exist");
        row("report A -o HOME", "cannot write " + native(m_home) + ": it is a folder");
        row("report A -o A",
            "cannot write " + native(m_siteA) + ": it is the configuration file itself");
        row("report A --paper a5", "--paper takes a4 or letter, not 'a5'", "report");
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
        QCOMPARE(QDir(m_home).entryList({"*.pdf"}, QDir::Files), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_cli_files.moc"
