// The real brevane-cli against the controller stand-in: the exit status of download, upload
// and verify for each kind of outcome, what they print, and what is left in the files.

#include <QtTest>

#include <QAction>

#include "app/brevaneapp.h"
#include "files/brvfile.h"
#include "platform/filedialogs.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "tests/support/clirun.h"
#include "tests/support/testhome.h"
#include "tools/nc-sim/simprocess.h"

namespace {

// The window's Open dialog answers with one name; its messages are kept and answered OK.
struct Answers final : FileDialogs, MessageBoxes {
    QString name;
    QStringList texts;
    QString getOpenFileName(QWidget*, const FileDialogRequest&) override { return name; }
    QString getSaveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QMessageBox::StandardButton show(QWidget*, const Message& message) override {
        texts << message.text;
        return QMessageBox::Ok;
    }
};

// "held" is what the stand-in holds, "mine" the file's different table; keys in both.
CnfTable table(std::uint8_t node) {
    CnfTable cnf{};
    cnf[cnfOffset(0, ONode)] = node;
    cnf[cnfOffset(0, KeyChar)] = 'K';
    return cnf;
}
const CnfTable Held = table(0x1A);
const CnfTable Mine = table(0x2B);

const QString DownloadError = QStringLiteral(
    "Download Error: %1\nBrevane will not function properly until a download is complete.\n");
const QString UploadError = QStringLiteral("Upload Error: %1\nAll Host Data Cleared.\n");
const QString VerifyError = QStringLiteral(
    "Verify Error: 52\nThe controller gave no valid answer to the checksum request.\n");

} // namespace

class TestCliLink : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }

    // Row names are the command, the stand-in's fault ("-": none; "no-port": no stand-in)
    // and the file there before ("mine", "held" or "none"). SITE in the texts is the file.
    void statuses_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<int>("frames");      // the stand-in received; none after a failure
        QTest::addColumn<QString>("after");   // the file afterwards
        QTest::addColumn<QString>("standIn"); // what the stand-in holds afterwards
        const QString done = QStringLiteral("%1 Complete\n");
        const QString noPort = QStringLiteral("Unable To Open Port\n");
        const QString notWritten = QStringLiteral("SITE not written.\n");
        QTest::newRow("download - mine") << 0 << done.arg("Download") << "" << 10 << "mine"
                                         << "mine";
        // A block the stand-in took stays with it, answered or not.
        QTest::newRow("download badsum@1 mine") << 4 << "" << DownloadError.arg(4) << 1 << "mine"
                                                << "mine";
        QTest::newRow("download badsum@10 mine")
            << 52 << "" << DownloadError.arg(52) << 10 << "mine"
            << "mine";
        QTest::newRow("download no-port mine") << 3 << "" << noPort << 0 << "mine"
                                               << "held";
        QTest::newRow("upload - mine") << 0 << done.arg("Upload") << "" << 10 << "held"
                                       << "held";
        QTest::newRow("upload junk@1 none")
            << 71 << "" << UploadError.arg(71) + notWritten << 1 << "none"
            << "held";
        QTest::newRow("upload high@10 mine")
            << 61 << "" << UploadError.arg(61) + notWritten << 10 << "mine"
            << "held";
        QTest::newRow("upload no-port none") << 3 << "" << noPort << 0 << "none"
                                             << "held";
        QTest::newRow("verify - held") << 0 << "Controller matches SITE\n"
                                       << "" << 1 << "held"
                                       << "held";
        QTest::newRow("verify - mine") << 1 << "Controller differs from SITE\n"
                                       << "" << 1 << "mine"
                                       << "held";
        QTest::newRow("verify high held") << 1 << "Controller differs from SITE\n"
                                          << "" << 1 << "held"
                                          << "held";
        QTest::newRow("verify badsum held") << 52 << "" << VerifyError << 1 << "held"
                                            << "held";
        QTest::newRow("verify no-port held") << 3 << "" << noPort << 0 << "held"
                                             << "held";
    }
    void statuses() {
        const QStringList tag = QString::fromLatin1(QTest::currentDataTag()).split(u' ');
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, frames);
        QFETCH(QString, after);
        QFETCH(QString, standIn);
        const QString site = QDir::home().filePath("site.BRV");
        const QString state = QDir::home().filePath("controller.BRV");
        const QMap<QString, std::optional<CnfTable>> tables{
            {"held", Held}, {"mine", Mine}, {"none", std::nullopt}};
        QVERIFY(writeBrvFile(state, Held));
        QVERIFY(tag[2] == "none" || writeBrvFile(site, *tables[tag[2]]));
        // With the ports folder in place, COM16 (the last port) is an entry nobody made.
        QVERIFY(QDir::home().mkpath("Orvik Tessaly Net/ports"));
        std::optional<SimProcess> sim;
        if (tag[1] != "no-port") {
            QStringList arguments{"--port", "1", "--no-pacing", "--state", state};
            sim.emplace(tag[1] == "-" ? arguments : arguments << "--fault" << tag[1]);
            QVERIFY(!sim->nextLine().isEmpty()); // its port is ready
        }

        const CliRun run = runCli({tag[0], site, "--port", tag[1] == "no-port" ? "16" : "1"});
        QCOMPARE(run.status, status);
        QCOMPARE(run.out, QString(out).replace("SITE", site));
        QCOMPARE(run.err, QString(err).replace("SITE", site));
        QCOMPARE(sim ? int(sim->receivedFrames().size()) : 0, frames);
        QCOMPARE(readBrvFile(site), tables[after]);
        // No half-written file beside it either.
        QCOMPARE(QDir::home().entryList({"site*"}, QDir::Files).size(), after == "none" ? 0 : 1);
        QCOMPARE(readBrvFile(state), tables[standIn]);
    }

    // Key bytes X, 0, Y: the window opens the key "XY" and its Download sends X, Y, 0. The
    // command line sends the file as the window does, and verify agrees after either.
    void keysAsTheWindowSends() {
        QVERIFY(QDir::home().mkpath("Orvik Tessaly Net/ports"));
        const QString site = QDir::home().filePath("<b>Hall &amp; 1.BRV");
        CnfTable holed{};
        holed[cnfOffset(0, KeyChar)] = 'X';
        holed[cnfOffset(2, KeyChar)] = 'Y';
        QVERIFY(writeBrvFile(site, holed));
        for (const bool window : {false, true}) {
            SimProcess sim({"--port", "1", "--no-pacing"});
            QVERIFY(!sim.nextLine().isEmpty());
            if (window) {
                Answers answers;
                answers.name = site;
                SystemSerialPort port;
                BrevaneApp app(
                    Seams{.messages = &answers, .fileDialogs = &answers, .serialPort = &port});
                app.window().mnuFileOpen()->trigger();
                app.window().mnuDownload()->trigger();
                QCOMPARE(answers.texts, QStringList{"Download Complete"});
            } else {
                QCOMPARE(runCli({"download", site, "--port", "1"}).out, "Download Complete\n");
            }
            QCOMPARE(runCli({"verify", site, "--port", "1"}).out,
                     "Controller matches " + site + "\n");
            const QList<QByteArray> frames = sim.receivedFrames();
            QCOMPARE(frames.size(), 11);
            QCOMPARE(frames.at(8), "[E20038002003F5859" + QByteArray(124, '0') + ']');
        }
    }
};

QTEST_MAIN(TestCliLink)
#include "tst_cli_link.moc"
