#include <QtTest>

#include <numeric>

#include "platform/folders.h"
#include "table/cp1252.h"
#include "table/hextext.h"
#include "table/linktext.h"
#include "table/modbrevane.h"

namespace {

// Field 8 of slots 0-15 as the two keys' eight bytes each, 0 after the end of each.
QByteArray keyBytes(const QByteArray& o, const QByteArray& i) {
    return o.leftJustified(8, '\0') + i.leftJustified(8, '\0');
}

QByteArray storedKeyBytes(const ModBrevane& mod) {
    QByteArray stored;
    for (int slot = 0; slot < 16; ++slot) {
        stored += char(mod.field(slot, KeyChar));
    }
    return stored;
}

} // namespace

class TestTable : public QObject {
    Q_OBJECT

private slots:
    void layoutAndReset() {
        ModBrevane mod;
        mod.field(0, OEnabled) = 1;
        mod.field(4, ONode) = 26;
        mod.field(63, KeyChar) = 9;
        // Nine fields a slot, the field running fastest: slot 4's ONode is byte 37.
        QCOMPARE(int(mod.Cnf[0]), 1);
        QCOMPARE(int(mod.Cnf[37]), 26);
        QCOMPARE(int(mod.Cnf[575]), 9);

        mod.Cnf.fill(0xA5);
        mod.OKey = QStringLiteral("abc");
        mod.IKey = QStringLiteral("xyz");
        mod.Modified = true;
        mod.ResetCnf();
        QCOMPARE(std::count(mod.Cnf.begin(), mod.Cnf.end(), 0), qsizetype(576));
        QCOMPARE(mod.OKey + mod.IKey, QString());
        QCOMPARE(mod.Modified, false);
    }

    void packKeys_data() {
        QTest::addColumn<QString>("oKey");
        QTest::addColumn<QString>("iKey");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("back"); // the outgoing key unpacked again
        const auto row = [](const char* name, const QString& o, const QString& i,
                            const char* oBytes, const char* iBytes, const QString& back) {
            QTest::newRow(name) << o << i << keyBytes(oBytes, iBytes) << back;
        };
        row("three and empty", "Ab1", "", "Ab1", "", "Ab1");
        row("nine cut to eight", "123456789", "x", "12345678", "x", "12345678");
        row("euro as 0x80", QStringLiteral("\u20AC"), "", "\x80", "", QStringLiteral("\u20AC"));
        row("e acute as 0xE9", "", QStringLiteral("\u00E9"), "", "\xE9", "");
        row("no code becomes ?", QStringLiteral("\u03A9"), "", "?", "", "?");
        row("nul and C1 controls have none", QString(QChar(0x80)) + QChar(0), "", "??", "", "??");
    }

    void packKeys() {
        QFETCH(QString, oKey);
        QFETCH(QString, iKey);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, back);
        ModBrevane mod;
        std::iota(mod.Cnf.begin(), mod.Cnf.end(), std::uint8_t(3)); // stale key bytes too
        CnfTable expected = mod.Cnf;
        mod.PackKeys(oKey, iKey);
        QCOMPARE(mod.OKey, oKey);
        QCOMPARE(mod.IKey, iKey);
        QCOMPARE(storedKeyBytes(mod), bytes);
        for (int slot = 0; slot < 16; ++slot) {
            expected[cnfOffset(slot, KeyChar)] = mod.field(slot, KeyChar);
        }
        QVERIFY(mod.Cnf == expected); // nothing but the key bytes written

        mod.UnpackKeys();
        QCOMPARE(mod.OKey, back);
        QCOMPARE(mod.IKey, iKey);
    }

    // Unpacking skips every 0 and reads nothing after the sixteenth key byte.
    void unpackSkipsZeros() {
        ModBrevane mod;
        mod.PackKeys(QStringLiteral("k"), QStringLiteral("q"));
        mod.field(2, KeyChar) = 'C';
        mod.field(7, KeyChar) = 'H';
        mod.field(15, KeyChar) = 'z';
        mod.field(16, KeyChar) = '!';
        mod.UnpackKeys();
        QCOMPARE(mod.OKey, QStringLiteral("kCH"));
        QCOMPARE(mod.IKey, QStringLiteral("qz"));
    }

    void windows1252ReadsEveryCode() {
        for (int code = 1; code < 256; ++code) {
            QCOMPARE(int(toWindows1252(fromWindows1252(static_cast<std::uint8_t>(code)))), code);
        }
    }

    void hexText() {
        QCOMPARE(Hex2(0xABCDE), QByteArray("DE")); // the low digits, upper case
        QCOMPARE(Hex4(0xABCDE), QByteArray("BCDE"));
        QCOMPARE(Hex4(-256), QByteArray("FF00"));
    }

    void hexVal_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("val2");
        QTest::addColumn<int>("val4");
        QTest::newRow("3Fxyz") << QByteArray("3Fxyz") << 63 << 63;
        QTest::newRow("G1") << QByteArray("G1") << 0 << 0;
        QTest::newRow("mixed case") << QByteArray("aBcf") << 0xAB << 0xABCF;
        QTest::newRow("stops at non-hex") << QByteArray("1G23") << 1 << 1;
        QTest::newRow("only first four") << QByteArray("901234") << 0x90 << 0x9012;
    }

    void hexVal() {
        QFETCH(QByteArray, text);
        QFETCH(int, val2);
        QFETCH(int, val4);
        QCOMPARE(int(HexVal2(text)), val2);
        QCOMPARE(int(HexVal4(text)), val4);
    }

    void captions() {
        QCOMPARE(linkCaption(0), "Link 01");
        QCOMPARE(nodeCaption(0), "Node: NC");
        QCOMPARE(nodeCaption(255), "Node: FF");
        QCOMPARE(typeCaption(0).value_or("-"), "Quendel");
        QCOMPARE(typeCaption(1).value_or("-"), "QD PC");
        QCOMPARE(typeCaption(3).value_or("-"), "-");
        QCOMPARE(incomingRefCaption(0), "Quendel NC.01");
        QCOMPARE(incomingRefCaption(255), "Quendel NC.00");
        QCOMPARE(outgoingRefCaption(0, 255), "00");
        QCOMPARE(outgoingRefCaption(1, 10), "0B");
        QCOMPARE(outgoingRefCaption(2, 0), "01-08");
        QCOMPARE(outgoingRefCaption(255, 255), "57-64");
    }

    void workingFolders() {
        QTemporaryDir tmp;
        const QString root = tmp.path() + QStringLiteral("/Orvik Tessaly Net");
        QCOMPARE(prepareWorkingFolders(root), true);
        QCOMPARE(folderExists(root + QStringLiteral("/Brevane")), true);
        const QString marker = root + QStringLiteral("/Brevane/keep.BRV");
        QVERIFY(QFile(marker).open(QIODevice::WriteOnly));
        QCOMPARE(prepareWorkingFolders(root), true);
        QCOMPARE(QFile::exists(marker), true);

        // A file where the folder should be: start-up goes on without the folders.
        const QString blocked = tmp.path() + QStringLiteral("/blocked");
        QVERIFY(QFile(blocked).open(QIODevice::WriteOnly));
        QCOMPARE(folderExists(blocked), false);
        QCOMPARE(prepareWorkingFolders(blocked), false);
        QCOMPARE(folderExists(blocked + QStringLiteral("/Brevane")), false);
    }
};

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
