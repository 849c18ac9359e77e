// The real brevane-cli's site commands against the controller stand-in: compare, download
// with a backup, ports.

#include <QtTest>

#include "tests/support/clirun.h"
#include "tests/support/testhome.h"
#include "tools/cli/portlist.h"
#include "tools/nc-sim/simprocess.h"

namespace {

// Link 05 outgoing on, node 1A; outgoing key "Orvik". Edits are offset, value pairs.
QByteArray siteTable(const QList<int>& edits = {}) {
    QByteArray bytes(576, '\0');
    bytes[36] = 1;
    bytes[37] = 0x1A;
    for (int k = 0; k < 5; ++k) {
        bytes[8 + 9 * k] = "Orvik"[k];
    }
    for (qsizetype i = 0; i + 1 < edits.size(); i += 2) {
        bytes[edits[i]] = char(edits[i + 1]);
    }
    return bytes;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

bool put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The frames the stand-in received as r (block read), w (block write), c (checksum).
QString kinds(const QList<QByteArray>& frames) {
    QString text;
    for (const QByteArray& frame : frames) {
        const QByteArray command = frame.mid(5, 2);
        text += command == "39" ? u'r' : command == "38" ? u'w' : u'c';
    }
    return text;
}

} // namespace

class TestCliFieldKit : public QObject {
    Q_OBJECT

    QString m_home;
    QString m_state; // what the stand-in holds
    QString m_site;  // the file on the installer's side
    std::optional<SimProcess> m_sim;

    // The stand-in on COM1 holding siteTable(), misbehaving as fault ("-": not at all).
    bool startStandIn(const QString& fault) {
        QStringList arguments{"--port", "1", "--no-pacing", "--state", m_state};
        m_sim.emplace(fault == "-" ? arguments : arguments << "--fault" << fault);
        return !m_sim->nextLine().isEmpty();
    }

private slots:
    void init() {
        m_home = useFreshHome();
        m_state = m_home + "/controller.BRV";
        m_site = m_home + "/site.BRV";
        QVERIFY(put(m_state, siteTable()));
        // A local-time stamp would show here; UTC is asked for.
        qputenv("TZ", "Asia/Kolkata");
    }
    void cleanup() { m_sim.reset(); }

    // Row names: what differs, then the stand-in's fault.
    void compare_data() {
        QTest::addColumn<QList<int>>("edits");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("frames");
        QTest::newRow("same -") << QList<int>{} << "text" << 0 << "No differences\n"
                                << "rrrrrrrrrc";
        QTest::newRow("link -") << QList<int>{37, 0x1B} << "text" << 1
                                << "Link 05 outgoing: node 1B → 1A\n"
                                << "rrrrrrrrrc";
        QTest::newRow("link,json -")
            << QList<int>{37, 0x1B} << "json" << 1
            << R"({"differences":[{"controller":"1A","controllerValue":26,"field":1,"file":"1B",)"
               R"("fileValue":27,"what":"node","where":"Link 05 outgoing"}],"same":false})"
            << "rrrrrrrrrc";
        QTest::newRow("same short@3") << QList<int>{} << "text" << 71 << ""
                                      << "rrr";
    }

    void compare() {
        QFETCH(QList<int>, edits);
        QFETCH(QString, format);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, frames);
        QVERIFY(put(m_site, siteTable(edits)));
        QVERIFY(startStandIn(QString::fromLatin1(QTest::currentDataTag()).section(' ', 1)));
        const CliRun run = runCli({"compare", m_site, "--port", "1", "--format", format});
        QCOMPARE(run.status, status);
        const QJsonDocument json = QJsonDocument::fromJson(run.out.toUtf8());
        QCOMPARE(json.isObject() ? QString::fromUtf8(json.toJson(QJsonDocument::Compact)) : run.out,
                 out);
        QCOMPARE(run.err, status > 1 ? QString("Compare Error: %1\nThe controller's table could "
                                               "not be read.\n")
                                           .arg(status)
                                     : QString());
        QCOMPARE(kinds(m_sim->receivedFrames()), frames);
        // Nothing written: not the controller, not the file, nothing beside them.
        QCOMPARE(contents(m_state), siteTable());
        QCOMPARE(contents(m_site), siteTable(edits));
        QCOMPARE(QDir(m_home).entryList(QDir::Files), QStringList({"controller.BRV", "site.BRV"}));
    }

    void backup_data() {
        QTest::addColumn<QString>("folder"); // under the home folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("frames");
        QTest::newRow("written -") << "backups/site" << 0 << "rrrrrrrrrcwwwwwwwwwc";
        QTest::newRow("checksum differs high@10") << "backups" << 61 << "rrrrrrrrrc";
        QTest::newRow("folder is a file -") << "site.BRV" << 2 << "";
    }

    void backup() {
        QFETCH(QString, folder);
        QFETCH(int, status);
        QFETCH(QString, frames);
        const QByteArray mine = siteTable({37, 0x1B, 44, 'n'});
        QVERIFY(put(m_site, mine));
        QVERIFY(startStandIn(QString::fromLatin1(QTest::currentDataTag()).section(' ', -1)));
        const QDateTime before = QDateTime::currentDateTimeUtc().addMSecs(-1000);
        const CliRun run =
            runCli({"download", m_site, "--port", "1", "--backup", m_home + '/' + folder});
        QCOMPARE(run.status, status);
        QCOMPARE(kinds(m_sim->receivedFrames()), frames);
        QCOMPARE(contents(m_state), status == 0 ? mine : siteTable());
        const QFileInfoList backups =
            QDir(m_home + '/' + folder).entryInfoList({"*.BRV"}, QDir::Files);
        QCOMPARE(backups.size(), status == 0 ? 1 : 0);
        if (status == 0) {
            const QString name = backups[0].fileName();
            QVERIFY2(QRegularExpression("^COM1-\\d{8}-\\d{6}\\.BRV$").match(name).hasMatch(),
                     qPrintable(name));
            QDateTime stamp = QDateTime::fromString(name.mid(5, 15), "yyyyMMdd-HHmmss");
            stamp.setTimeZone(QTimeZone::utc());
            QVERIFY(stamp >= before && stamp <= QDateTime::currentDateTimeUtc());
            QCOMPARE(contents(backups[0].filePath()), siteTable());
            QCOMPARE(run.out, "Download Complete\nThe controller's former table is in " +
                                  backups[0].filePath() + '\n');
        }
    }

    // $D: a folder of stand-in devices; $P: the ports folder. Lines without their padding.
    void ports_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("text");
        QTest::newRow("good link")
            << 1 << "COM1 $D/ttyUSB0 present FT232R USB UART, FTDI, serial A1";
        QTest::newRow("dangling link") << 2 << "COM2 $D/gone dangling link";
        QTest::newRow("its command") << 20 << "ln -s '$D/ttyUSB1' '$P/COM3'";
    }

    void ports() {
        QFETCH(int, line);
        QFETCH(QString, text);
        const QString devices = m_home + "/dev";
        const QString folder = m_home + "/Orvik Tessaly Net/ports";
        QVERIFY(QDir().mkpath(devices) && QDir().mkpath(folder));
        QVERIFY(put(devices + "/ttyUSB0", {}) && put(devices + "/ttyUSB1", {}));
        QVERIFY(QFile::link(devices + "/ttyUSB0", folder + "/COM1"));
        QVERIFY(QFile::link(devices + "/gone", folder + "/COM2"));
        const QString report = portsReport(folder, true,
                                           {{devices + "/ttyUSB0", "FT232R USB UART", "FTDI", "A1"},
                                            {devices + "/ttyUSB1", "CP2102", "Silicon Labs", ""}});
        QCOMPARE(report.split('\n').value(line).simplified(),
                 QString(text).replace("$D", devices).replace("$P", folder));
    }
};

QTEST_GUILESS_MAIN(TestCliFieldKit)
#include "tst_cli_fieldkit.moc"
