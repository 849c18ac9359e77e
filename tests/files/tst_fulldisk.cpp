// A configuration file saved where the bytes cannot all go: the old file keeps every byte
// and the failure is reported.

#include <QtTest>

#include <csignal>

#include "files/brvfile.h"

class TestFullDisk : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { std::signal(SIGXFSZ, SIG_IGN); } // past the size limit: an error

    void oldFileKept_data() {
        QTest::addColumn<QString>("reason");
        QTest::newRow("full tmpfs") << "No space left on device";
        QTest::newRow("file size limit") << "File too large";
    }
    void oldFileKept() {
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString disk = dir.path();
        const bool tmpfs = reason.startsWith("No space");
        if (tmpfs &&
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "nc", disk}) != 0) {
            QSKIP("no tmpfs can be mounted here; the size limit stands in");
        }
        const auto unmount = qScopeGuard([&] {
            if (tmpfs) {
                QProcess::execute("umount", {disk});
            }
        });
        const QString path = disk + "/site.BRV";
        CnfTable old{};
        old.fill(0x5A);
        QVERIFY(writeBrvFile(path, old));
        QFile filler(disk + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        while (tmpfs && filler.write(QByteArray(4096, 'f')) > 0) {
        }
        const QString self = QString::number(QCoreApplication::applicationPid());
        QCOMPARE(tmpfs || QProcess::execute("prlimit", {"--pid", self, "--fsize=0:"}) == 0, true);
        QString error;
        const bool written = writeBrvFile(path, CnfTable{}, &error);
        QProcess::execute("prlimit", {"--pid", self, "--fsize=unlimited:"});
        QCOMPARE(written, false);
        QCOMPARE(error, reason);
        QCOMPARE(readBrvFile(path), std::optional<CnfTable>(old));
        QCOMPARE(QDir(disk).entryList(QDir::Files), (QStringList{"filler", "site.BRV"}));
    }
};

QTEST_GUILESS_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
