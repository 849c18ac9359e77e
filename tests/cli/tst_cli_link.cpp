// The real brevane-cli against the controller stand-in: download, upload and verify, the
// frames they send, their faults and exit statuses.

#include <QtTest>

#include <QAction>

#include "app/brevaneapp.h"
#include "files/brvfile.h"
#include "platform/filedialogs.h"
#include "platform/messageboxes.h"
#include "platform/serialport.h"
#include "tests/cli/clirun.h"
#include "tests/link/farend.h"
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

} // namespace

class TestCliLink : public QObject {
    Q_OBJECT

private slots:
    void init() { useFreshHome(); }

    // Row names are the command and the stand-in's fault ("-": none; "no-port": no stand-in).
    void faults_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("frames"); // the stand-in received; nothing is sent after a failure
        QTest::addColumn<bool>("existing"); // the file is there before

        QTest::newRow("download -") << 0 << 10 << true;
        QTest::newRow("download silent@1") << 4 << 1 << true;
        QTest::newRow("download silent@10") << 52 << 10 << true;
        QTest::newRow("download high") << 61 << 10 << true;
        QTest::newRow("download no-port") << 3 << 0 << true;
        QTest::newRow("upload -") << 0 << 10 << true;
        QTest::newRow("upload short@1") << 71 << 1 << false;
        QTest::newRow("upload badsum@10") << 52 << 10 << false;
        QTest::newRow("upload high@10") << 61 << 10 << true;
        QTest::newRow("upload low@10") << 62 << 10 << false;
        QTest::newRow("upload no-port") << 3 << 0 << false;
        QTest::newRow("verify -") << 0 << 1 << true;
        QTest::newRow("verify silent") << 52 << 1 << true;
        QTest::newRow("verify high") << 1 << 1 << true;
        QTest::newRow("verify low") << 1 << 1 << true;
        QTest::newRow("verify no-port") << 3 << 0 << true;
    }

    void faults() {
        const QStringList tag = QString::fromLatin1(QTest::currentDataTag()).split(u' ');
        const QString& command = tag[0];
        QFETCH(int, status);
        QFETCH(int, frames);
        QFETCH(bool, existing);
        const QString site = QDir::home().filePath("site.BRV");
        const CnfTable held = patternTable(5, "Orvik", "Net");
        const CnfTable mine = patternTable(command == "verify" ? 5 : 9, "Orvik", "Net");
        const QString state = QDir::home().filePath("controller.BRV");
        QVERIFY(writeBrvFile(state, held));
        QVERIFY(!existing || writeBrvFile(site, mine));
        // With the ports folder in place, COM16 (the last port) is an entry nobody made.
        QVERIFY(QDir::home().mkpath("Orvik Tessaly Net/ports"));
        std::optional<SimProcess> sim;
        if (tag[1] != "no-port") {
            QStringList arguments{"--port", "1", "--no-pacing", "--state", state};
            sim.emplace(tag[1] == "-" ? arguments : arguments << "--fault" << tag[1]);
            QVERIFY(!sim->nextLine().isEmpty()); // its port is ready
        }

        const CliRun run = runCli({command, site, "--port", tag[1] == "no-port" ? "16" : "1"});
        QCOMPARE(run.status, status);
        const QMap<QString, QString> failure{
            {"download", "Download Error: %1\nBrevane will not function properly until a download "
                         "is complete.\n"},
            {"upload", "Upload Error: %1\nAll Host Data Cleared.\n" + site + " not written.\n"},
            {"verify", "Verify Error: %1\nThe controller gave no valid answer to the checksum "
                       "request.\n"}};
        QCOMPARE(run.err, status == 3  ? "Unable To Open Port\n"
                          : status > 1 ? failure[command].arg(status)
                                       : QString());
        const QString verdict =
            (status == 0 ? "Controller matches " : "Controller differs from ") + site;
        QCOMPARE(run.out, command == "verify" ? (status < 2 ? verdict + "\n" : QString())
                          : status == 0 ? command.at(0).toUpper() + command.mid(1) + " Complete\n"
                                        : QString());
        const QList<QByteArray> sent = command == "verify"
                                           ? QList<QByteArray>{ChecksumFrame}
                                           : transferFrames(command == "upload", mine);
        QCOMPARE(sim ? sim->receivedFrames() : QList<QByteArray>{}, sent.mid(0, frames));
        const bool uploaded = command == "upload" && status == 0;
        QCOMPARE(readBrvFile(site), uploaded   ? std::optional<CnfTable>(held)
                                    : existing ? std::optional<CnfTable>(mine)
                                               : std::nullopt);
        // No half-written file beside it either.
        QCOMPARE(QDir::home().entryList({"site*"}, QDir::Files),
                 existing || uploaded ? QStringList{"site.BRV"} : QStringList{});
        if (command != "download" || status == 0) {
            QCOMPARE(readBrvFile(state),
                     std::optional<CnfTable>(command == "download" ? mine : held));
        }
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
                QtSerialPort port;
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
