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

QByteArray readRaw(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestBrvFile : public QObject {
    Q_OBJECT

private slots:
    void roundTrip();
    void sizes_data();
    void sizes();

private:
    QTemporaryDir m_dir;
};

// The file is exactly the table, and a longer file written over is cut to it.
void TestBrvFile::roundTrip() {
    const QString path = m_dir.filePath("round.BRV");
    QVERIFY(writeRaw(path, QByteArray(1000, 'z')));
    QString error;
    QVERIFY2(writeBrvFile(path, patterned(), &error), qPrintable(error));
    QCOMPARE(readRaw(path), bytesOf(patterned()));
    const auto back = readBrvFile(path, &error);
    QVERIFY2(back.has_value(), qPrintable(error));
    QVERIFY(*back == patterned());
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

QTEST_GUILESS_MAIN(TestBrvFile)
#include "tst_brvfile.moc"
