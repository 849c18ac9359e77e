#include <QtTest>

#include "files/brvfile.h"

namespace {

CnfTable patterned() {
    CnfTable cnf{};
    for (int i = 0; i < CnfBytes; ++i) {
        cnf[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    return cnf;
}

QByteArray bytesOf(const CnfTable& cnf) {
    return QByteArray(reinterpret_cast<const char*>(cnf.data()), CnfBytes);
}

bool writeRaw(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestBrvFile : public QObject {
    Q_OBJECT

private slots:
    void roundTrip();
    void fileIsExactlyTheTable();
    void sizes_data();
    void sizes();
    void missingFileRefused();
    void directoryRefused();
    void overwriteLongerFileCutsIt();
    void failedWriteKeepsOldFile();
    void loadIntoState_data();
    void loadIntoState();

private:
    QTemporaryDir m_dir;
};

void TestBrvFile::roundTrip() {
    const QString path = m_dir.filePath("round.BRV");
    const CnfTable cnf = patterned();
    QString error;
    QVERIFY2(writeBrvFile(path, cnf, &error), qPrintable(error));
    const auto back = readBrvFile(path, &error);
    QVERIFY2(back.has_value(), qPrintable(error));
    QVERIFY(*back == cnf);
}

void TestBrvFile::fileIsExactlyTheTable() {
    const QString path = m_dir.filePath("exact.BRV");
    CnfTable cnf{};
    cnf[cnfOffset(0, KeyChar)] = 'A';  // offset 8
    cnf[cnfOffset(1, KeyChar)] = 'B';  // offset 17
    cnf[cnfOffset(63, Reserved7)] = 9; // offset 574
    QVERIFY(writeBrvFile(path, cnf));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.size(), 576);
    QCOMPARE(bytes.at(8), 'A');
    QCOMPARE(bytes.at(17), 'B');
    QCOMPARE(int(bytes.at(574)), 9);
    QCOMPARE(bytes.count('\0'), qsizetype(573));
}

void TestBrvFile::sizes_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("reason");
    QTest::newRow("empty") << 0 << false
                           << "The file holds 0 bytes; a configuration file holds 576.";
    QTest::newRow("one short") << 575 << false
                               << "The file holds 575 bytes; a configuration file holds 576.";
    QTest::newRow("exact") << 576 << true << "";
    QTest::newRow("longer") << 1000 << true << "";
}

void TestBrvFile::sizes() {
    QFETCH(int, size);
    QFETCH(bool, accepted);
    QFETCH(QString, reason);
    QByteArray bytes = bytesOf(patterned()).leftJustified(size, 'x', true);
    const QString path = m_dir.filePath(QStringLiteral("size%1.BRV").arg(size));
    QVERIFY(writeRaw(path, bytes));
    QString error;
    const auto cnf = readBrvFile(path, &error);
    QCOMPARE(cnf.has_value(), accepted);
    QCOMPARE(error, reason);
    if (accepted) {
        QVERIFY(*cnf == patterned()); // of a longer file the first 576 bytes
    }
    QCOMPARE(brvTableFromBytes(bytes).has_value(), accepted);
}

void TestBrvFile::missingFileRefused() {
    QString error;
    QVERIFY(!readBrvFile(m_dir.filePath("absent.BRV"), &error).has_value());
    QVERIFY(!error.isEmpty());
}

void TestBrvFile::directoryRefused() {
    QString error;
    QVERIFY(!readBrvFile(m_dir.path(), &error).has_value());
    QVERIFY(!error.isEmpty());
    QVERIFY(!writeBrvFile(m_dir.path(), patterned(), &error));
    QVERIFY(!error.isEmpty());
}

void TestBrvFile::overwriteLongerFileCutsIt() {
    const QString path = m_dir.filePath("long.BRV");
    QVERIFY(writeRaw(path, QByteArray(1000, 'z')));
    QVERIFY(writeBrvFile(path, patterned()));
    QCOMPARE(QFileInfo(path).size(), qint64(576));
}

void TestBrvFile::failedWriteKeepsOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.BRV");
    QVERIFY(writeRaw(path, QByteArray(1000, 'k')));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    if (writeRaw(dir.filePath("probe"), "p")) {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP("this user writes into read-only folders (root)");
    }
    QString error;
    QCOMPARE(writeBrvFile(path, patterned(), &error), false);
    QVERIFY(!error.isEmpty());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray(1000, 'k'));
}

void TestBrvFile::loadIntoState_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("missing") << -1 << false;
    QTest::newRow("one short") << 575 << false;
    QTest::newRow("exact") << 576 << true;
    QTest::newRow("longer") << 700 << true;
}

void TestBrvFile::loadIntoState() {
    QFETCH(int, size);
    QFETCH(bool, loaded);
    CnfTable cnf{};
    cnf[cnfOffset(0, KeyChar)] = 'K';
    cnf[cnfOffset(2, KeyChar)] = 'y';
    cnf[cnfOffset(9, KeyChar)] = 0xE9; // e acute in Windows-1252
    cnf[cnfOffset(40, ONode)] = 0x1A;
    const QString path = m_dir.filePath(QStringLiteral("load%1.BRV").arg(size));
    if (size >= 0) {
        QVERIFY(writeRaw(path, bytesOf(cnf).leftJustified(size, 'x', true)));
    }
    ModBrevane mod;
    mod.Cnf = patterned();
    mod.OKey = QStringLiteral("old");
    mod.IKey = QStringLiteral("keys");
    mod.Modified = true;
    mod.CnfPath = QStringLiteral("/site/before.BRV");
    QString error;
    QCOMPARE(loadCnfFile(mod, path, &error), loaded);
    QCOMPARE(error.isEmpty(), loaded);
    QCOMPARE(mod.Modified, true);
    QCOMPARE(mod.CnfPath, QStringLiteral("/site/before.BRV"));
    if (loaded) {
        QVERIFY(mod.Cnf == cnf);
        QCOMPARE(mod.OKey, QStringLiteral("Ky"));
        QCOMPARE(mod.IKey, QStringLiteral("\u00E9"));
    } else {
        QVERIFY(mod.Cnf == patterned());
        QCOMPARE(mod.OKey, QStringLiteral("old"));
        QCOMPARE(mod.IKey, QStringLiteral("keys"));
    }
}

QTEST_GUILESS_MAIN(TestBrvFile)
#include "tst_brvfile.moc"
