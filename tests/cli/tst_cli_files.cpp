// The real brevane-cli on hand-made configuration files: show, diff, help, and what it
// says to bad arguments and unreadable files.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "files/brvfile.h"
#include "tests/cli/clirun.h"
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

// Links 01, 05, 12, 30 and 50 set by hand, carried bytes in links 30 and 64, keys
// "Orvik" and a"b,é plus a code that does not print.
CnfTable siteA() {
    CnfTable cnf{};
    set(cnf, 1, {1, 0x1A, 2, 2, 0, 10});
    set(cnf, 5, {1, 0, 0, 0xFD, 1, 0});
    set(cnf, 12, {0, 255, 1, 255, 1, 255});
    set(cnf, 30, {1, 1, 3, 9, 0, 0, 18, 200});
    set(cnf, 50, {0, 0, 0, 0, 1, 0});
    cnf[cnfOffset(63, KeyChar)] = 7;
    setKeyBytes(cnf, 1, "Orvik");
    setKeyBytes(cnf, 9, "a\"b,\xE9\x81");
    return cnf;
}

// Site A with a change of every kind.
CnfTable siteB() {
    CnfTable cnf = siteA();
    set(cnf, 1, {0, 0x1A, 2, 10});      // off; ref wraps to the same relay range
    set(cnf, 5, {1, 0x1A, 2, 0xFD, 0}); // node, type; ref byte unchanged; incoming off
    cnf[cnfOffset(11, IRef)] = 10;
    cnf[cnfOffset(29, Reserved6)] = 0;
    cnf[cnfOffset(39, Reserved7)] = 1;
    cnf[cnfOffset(49, IEnabled)] = 2;
    cnf[cnfOffset(63, KeyChar)] = 0;
    cnf[cnfOffset(2, KeyChar)] = 0;                    // "Orvik" -> "Orik"
    setKeyBytes(cnf, 13, QByteArray("\0\xE9\x81", 3)); // the same key text, moved along
    return cnf;
}

const QString DefaultTextRow =
    QStringLiteral("Link %1  off       Node: NC  Quendel      01     off       Quendel NC.01");
const QString DefaultCsvRow =
    QStringLiteral("Link %1,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,,0");

// Every row the default one except those given, by link number.
QString rows(const QMap<int, QString>& special, const QString& defaultRow) {
    QString text;
    for (int link = 1; link <= LinkSlots; ++link) {
        text +=
            special.value(link, defaultRow.arg(link, 2, 10, QLatin1Char('0'))) + QLatin1Char('\n');
    }
    return text;
}

QString home() {
    return QDir::homePath();
}

} // namespace

class TestCliFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void showText();
    void showCsv();
    void showJson();
    void showEmptyTable();
    void diff_data();
    void diff();
    void help_data();
    void help();
    void refused_data();
    void refused();

private:
    QString m_siteA;
    QString m_siteB;
    QString m_copyA;
};

void TestCliFiles::initTestCase() {
    useFreshHome();
    m_siteA = home() + QStringLiteral("/Site A.BRV");
    m_siteB = home() + QStringLiteral("/Site B.BRV");
    m_copyA = home() + QStringLiteral("/copy of A.brv");
    QVERIFY(writeBrvFile(m_siteA, siteA()));
    QVERIFY(writeBrvFile(m_siteB, siteB()));
    QVERIFY(writeBrvFile(m_copyA, siteA()));
    QVERIFY(writeBytes(home() + QStringLiteral("/short.BRV"), QByteArray(575, '\1')));
}

void TestCliFiles::showText() {
    const QString expected =
        QStringLiteral("Link     Outgoing  Node      Type         Ref    Incoming  Ref\n") +
        rows({{1, "Link 01  on        Node: 1A  Relays       17-24  off       Quendel NC.0B"},
              {5, "Link 05  on        Node: NC  Quendel      FE     on        Quendel NC.01"},
              {12, "Link 12  off       Node: FF  QD PC        00     on        Quendel NC.00"},
              {30, "Link 30  on        Node: 01  unknown (3)  09-16  off       Quendel NC.01"},
              {50, "Link 50  off       Node: NC  Quendel      01     on        Quendel NC.01"}},
             DefaultTextRow) +
        QStringLiteral("\n"
                       "Outgoing key: \"Orvik\"\n"
                       "Incoming key: \"a\\\"b,é\\x81\"\n"
                       "\n"
                       "Carried bytes the window does not show:\n"
                       "Link 30 field 6: 18\n"
                       "Link 30 field 7: 200\n"
                       "Link 64 field 8: 7\n");
    for (const QStringList& arguments :
         {QStringList{"show", m_siteA}, QStringList{"show", m_siteA, "--format", "text"},
          QStringList{"show", "--format=TEXT", m_siteA}}) {
        const CliRun run = runCli(arguments);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.out, expected);
        QCOMPARE(run.status, 0);
    }
}

void TestCliFiles::showCsv() {
    const QString expected =
        QStringLiteral("Link,Outgoing,OEnabled,Node,ONode,Type,OType,Ref,ORef,Incoming,IEnabled,"
                       "Incoming ref,IRef,Reserved6,Reserved7,Key character,KeyChar\n") +
        rows({{1, "Link 01,on,1,Node: 1A,26,Relays,2,17-24,2,off,0,Quendel NC.0B,10,0,0,O,79"},
              {2, "Link 02,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,r,114"},
              {3, "Link 03,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,v,118"},
              {4, "Link 04,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,i,105"},
              {5, "Link 05,on,1,Node: NC,0,Quendel,0,FE,253,on,1,Quendel NC.01,0,0,0,k,107"},
              {9, "Link 09,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,a,97"},
              {10, R"(Link 10,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,"""",34)"},
              {11, "Link 11,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,b,98"},
              {12, "Link 12,off,0,Node: FF,255,QD PC,1,00,255,on,1,Quendel NC.00,255,0,0,\",\",44"},
              {13, "Link 13,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,é,233"},
              {14, "Link 14,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,\\x81,129"},
              {30, "Link 30,on,1,Node: 01,1,,3,09-16,9,off,0,Quendel NC.01,0,18,200,,0"},
              {50, "Link 50,off,0,Node: NC,0,Quendel,0,01,0,on,1,Quendel NC.01,0,0,0,,0"},
              {64, "Link 64,off,0,Node: NC,0,Quendel,0,01,0,off,0,Quendel NC.01,0,0,0,,7"}},
             DefaultCsvRow);
    const CliRun run = runCli({"show", m_siteA, "--format", "csv"});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, expected);
    QCOMPARE(run.status, 0);
}

void TestCliFiles::showJson() {
    const CliRun run = runCli({"show", m_siteA, "--format", "json"});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root.keys(), QStringList({"keys", "links"}));

    const auto json = [](const char* text) {
        return QJsonDocument::fromJson(QByteArray(text)).object();
    };
    QCOMPARE(root.value("keys").toObject(),
             json(R"({"outgoing": "Orvik", "incoming": "a\"b,\u00e9\u0081"})"));
    const QJsonArray links = root.value("links").toArray();
    QCOMPARE(links.size(), 64);
    QCOMPARE(links[0].toObject(), json(R"({
        "link": "Link 01",
        "outgoing": {"state": "on", "node": "Node: 1A", "type": "Relays", "ref": "17-24"},
        "incoming": {"state": "off", "ref": "Quendel NC.0B"},
        "fields": {"OEnabled": 1, "ONode": 26, "OType": 2, "ORef": 2, "IEnabled": 0,
                   "IRef": 10, "Reserved6": 0, "Reserved7": 0, "KeyChar": 79}})"));
    QCOMPARE(links[11].toObject(), json(R"({
        "link": "Link 12",
        "outgoing": {"state": "off", "node": "Node: FF", "type": "QD PC", "ref": "00"},
        "incoming": {"state": "on", "ref": "Quendel NC.00"},
        "fields": {"OEnabled": 0, "ONode": 255, "OType": 1, "ORef": 255, "IEnabled": 1,
                   "IRef": 255, "Reserved6": 0, "Reserved7": 0, "KeyChar": 44}})"));
    QCOMPARE(links[29].toObject(), json(R"({
        "link": "Link 30",
        "outgoing": {"state": "on", "node": "Node: 01", "type": null, "ref": "09-16"},
        "incoming": {"state": "off", "ref": "Quendel NC.01"},
        "fields": {"OEnabled": 1, "ONode": 1, "OType": 3, "ORef": 9, "IEnabled": 0,
                   "IRef": 0, "Reserved6": 18, "Reserved7": 200, "KeyChar": 0}})"));
    QCOMPARE(links[63].toObject().value("link").toString(), QStringLiteral("Link 64"));
    QCOMPARE(links[63].toObject().value("fields").toObject().value("KeyChar").toInt(), 7);
}

void TestCliFiles::showEmptyTable() {
    const QString empty = home() + QStringLiteral("/empty.BRV");
    QVERIFY(writeBrvFile(empty, CnfTable{}));
    const CliRun run = runCli({"show", empty});
    QCOMPARE(run.out,
             QStringLiteral("Link     Outgoing  Node      Type     Ref  Incoming  Ref\n") +
                 rows({}, QStringLiteral("Link %1  off       Node: NC  Quendel  01   off       "
                                         "Quendel NC.01")) +
                 QStringLiteral("\nOutgoing key: \"\"\nIncoming key: \"\"\n"));
    QCOMPARE(run.status, 0);
}

void TestCliFiles::diff_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("status");
    const QString a = home() + QStringLiteral("/Site A.BRV");
    const QString b = home() + QStringLiteral("/Site B.BRV");
    QTest::newRow("A to B") << a << b
                            << QStringLiteral(
                                   "Link 01 outgoing: on → off\n"
                                   "Link 01 outgoing: ref 17-24 → 17-24 (field 3: 2 → 10)\n"
                                   "Link 05 outgoing: node NC → 1A\n"
                                   "Link 05 outgoing: type Quendel → Relays\n"
                                   "Link 05 incoming: on → off\n"
                                   "Link 12 incoming: ref Quendel NC.00 → Quendel NC.0B\n"
                                   "Link 13 field 8: 233 → 0\n"
                                   "Link 14 field 8: 129 → 233\n"
                                   "Link 15 field 8: 0 → 129\n"
                                   "Link 30 field 6: 18 → 0\n"
                                   "Link 40 field 7: 0 → 1\n"
                                   "Link 50 incoming: on → on (field 4: 1 → 2)\n"
                                   "Link 64 field 8: 7 → 0\n"
                                   "Outgoing key: \"Orvik\" → \"Orik\"\n")
                            << 1;
    QTest::newRow("B to A") << b << a
                            << QStringLiteral(
                                   "Link 01 outgoing: off → on\n"
                                   "Link 01 outgoing: ref 17-24 → 17-24 (field 3: 10 → 2)\n"
                                   "Link 05 outgoing: node 1A → NC\n"
                                   "Link 05 outgoing: type Relays → Quendel\n"
                                   "Link 05 incoming: off → on\n"
                                   "Link 12 incoming: ref Quendel NC.0B → Quendel NC.00\n"
                                   "Link 13 field 8: 0 → 233\n"
                                   "Link 14 field 8: 233 → 129\n"
                                   "Link 15 field 8: 129 → 0\n"
                                   "Link 30 field 6: 0 → 18\n"
                                   "Link 40 field 7: 1 → 0\n"
                                   "Link 50 incoming: on → on (field 4: 2 → 1)\n"
                                   "Link 64 field 8: 0 → 7\n"
                                   "Outgoing key: \"Orik\" → \"Orvik\"\n")
                            << 1;
    QTest::newRow("same file") << a << a << QStringLiteral("No differences\n") << 0;
    QTest::newRow("equal copy") << a << home() + QStringLiteral("/copy of A.brv")
                                << QStringLiteral("No differences\n") << 0;
}

void TestCliFiles::diff() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    QFETCH(int, status);
    const CliRun run = runCli({"diff", a, b});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, expected);
    QCOMPARE(run.status, status);
}

void TestCliFiles::help_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("usage");
    QTest::newRow("--help") << QStringList{"--help"}
                            << "Usage: brevane-cli COMMAND [options] ARGUMENTS\n";
    QTest::newRow("help") << QStringList{"help"}
                          << "Usage: brevane-cli COMMAND [options] ARGUMENTS\n";
    QTest::newRow("help show") << QStringList{"help", "show"}
                               << "Usage: brevane-cli show FILE.BRV [--format text|csv|json]\n";
    QTest::newRow("show --help") << QStringList{"show", "--help"}
                                 << "Usage: brevane-cli show FILE.BRV [--format text|csv|json]\n";
    QTest::newRow("diff -h") << QStringList{"diff", "-h"}
                             << "Usage: brevane-cli diff A.BRV B.BRV\n";
    QTest::newRow("help upload") << QStringList{"help", "upload"}
                                 << "Usage: brevane-cli upload FILE.BRV --port N [--trace]\n";
    QTest::newRow("verify --help with other arguments")
        << QStringList{"verify", "x.BRV", "--port", "99", "--help"}
        << "Usage: brevane-cli verify FILE.BRV --port N [--trace]\n";
}

void TestCliFiles::help() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, usage);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out.left(usage.size()), usage);
    QCOMPARE(run.status, 0);
}

void TestCliFiles::refused_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString a = home() + QStringLiteral("/Site A.BRV");
    const QString missing = home() + QStringLiteral("/none.BRV");
    const QString shortFile = home() + QStringLiteral("/short.BRV");
    QFile absent(missing);
    QVERIFY(!absent.open(QIODevice::ReadOnly));
    const QString missingText = "cannot read " + missing + ": " + absent.errorString();
    const QString see = QStringLiteral(" (see 'brevane-cli help");
    const QString shortText =
        QStringLiteral("cannot read %1: The file holds 575 bytes; a configuration file holds 576.")
            .arg(shortFile);

    QTest::newRow("nothing") << QStringList{} << "no command given" + see + "')";
    QTest::newRow("unknown command")
        << QStringList{"erase", a} << "unknown command 'erase'" + see + "')";
    QTest::newRow("unknown option first")
        << QStringList{"--baud"} << "unknown option '--baud'" + see + "')";
    QTest::newRow("help for no command")
        << QStringList{"help", "erase"} << "unknown command 'erase'" + see + "')";
    QTest::newRow("unknown option")
        << QStringList{"show", a, "--baud", "9600"} << "Unknown option 'baud'." + see + " show')";
    QTest::newRow("show: no file")
        << QStringList{"show"} << "show takes one file" + see + " show')";
    QTest::newRow("show: two files")
        << QStringList{"show", a, a} << "show takes one file" + see + " show')";
    QTest::newRow("show: unknown format")
        << QStringList{"show", a, "--format", "xml"}
        << "--format takes text, csv or json, not 'xml'" + see + " show')";
    QTest::newRow("show: missing file") << QStringList{"show", missing} << missingText;
    QTest::newRow("show: short file") << QStringList{"show", shortFile} << shortText;
    QTest::newRow("diff: one file")
        << QStringList{"diff", a} << "diff takes two files" + see + " diff')";
    QTest::newRow("diff: short file") << QStringList{"diff", a, shortFile} << shortText;
    QTest::newRow("diff: missing file") << QStringList{"diff", missing, a} << missingText;
    QTest::newRow("download: no port")
        << QStringList{"download", a} << "download needs --port N (1 to 16)" + see + " download')";
    QTest::newRow("download: port 0")
        << QStringList{"download", a, "--port", "0"}
        << "--port takes a number from 1 to 16, not '0'" + see + " download')";
    QTest::newRow("upload: port 17")
        << QStringList{"upload", a, "--port", "17"}
        << "--port takes a number from 1 to 16, not '17'" + see + " upload')";
    QTest::newRow("verify: port COM1")
        << QStringList{"verify", a, "--port", "COM1"}
        << "--port takes a number from 1 to 16, not 'COM1'" + see + " verify')";
    QTest::newRow("verify: port without value")
        << QStringList{"verify", a, "--port"}
        << "Missing value after '--port'." + see + " verify')";
    QTest::newRow("show: --port") << QStringList{"show", a, "--port", "1"}
                                  << "Unknown option 'port'." + see + " show')";
    QTest::newRow("download: short file")
        << QStringList{"download", shortFile, "--port", "1"} << shortText;
    QTest::newRow("verify: missing file")
        << QStringList{"verify", missing, "--port", "1"} << missingText;
    QTest::newRow("upload: no such folder")
        << QStringList{"upload", home() + "/no folder/site.BRV", "--port", "1"}
        << "cannot write " + home() + "/no folder/site.BRV: its folder does not exist";
    QTest::newRow("upload: onto a folder") << QStringList{"upload", home(), "--port", "1"}
                                           << "cannot write " + home() + ": it is a folder";
}

void TestCliFiles::refused() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const CliRun run = runCli(arguments);
    QCOMPARE(run.err, "brevane-cli: " + message + "\n");
    QCOMPARE(run.out, QString());
    QCOMPARE(run.status, 2);
}

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_cli_files.moc"
