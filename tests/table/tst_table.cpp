#include <QtTest>

#include "platform/folders.h"
#include "table/cp1252.h"
#include "table/hextext.h"
#include "table/linktext.h"
#include "table/modbrevane.h"

class TestTable : public QObject {
    Q_OBJECT

private slots:
    void layoutOffsets();
    void resetClearsEverything();
    void packKeys_data();
    void packKeys();
    void packKeysLeavesOtherBytes();
    void unpackSkipsZeros();
    void packUnpackRoundTrip_data();
    void packUnpackRoundTrip();
    void windows1252_data();
    void windows1252();
    void windows1252ReadsEveryCode();
    void hex2_data();
    void hex2();
    void hex4_data();
    void hex4();
    void hexVal_data();
    void hexVal();
    void captions_data();
    void captions();
    void outgoingRef_data();
    void outgoingRef();
    void workingFolders();
    void workingFolderBlockedByFile();
};

void TestTable::layoutOffsets() {
    ModBrevane mod;
    mod.field(0, OEnabled) = 1;
    mod.field(4, ONode) = 26;
    mod.field(63, KeyChar) = 9;
    QCOMPARE(int(mod.Cnf[0]), 1);
    QCOMPARE(int(mod.Cnf[4 * 9 + 1]), 26);
    QCOMPARE(int(mod.Cnf[575]), 9);
    QCOMPARE(int(sizeof(mod.Cnf)), 576);
}

void TestTable::resetClearsEverything() {
    ModBrevane mod;
    mod.Cnf.fill(0xA5);
    mod.OKey = QStringLiteral("abc");
    mod.IKey = QStringLiteral("xyz");
    mod.Modified = true;
    mod.ResetCnf();
    QCOMPARE(std::count(mod.Cnf.begin(), mod.Cnf.end(), 0), qsizetype(576));
    QCOMPARE(mod.OKey, QString());
    QCOMPARE(mod.IKey, QString());
    QCOMPARE(mod.Modified, false);
}

void TestTable::packKeys_data() {
    QTest::addColumn<QString>("oKey");
    QTest::addColumn<QString>("iKey");
    QTest::addColumn<QByteArray>("keyBytes"); // field 8 of slots 0-15

    QTest::newRow("three and empty") << "Ab1"
                                     << ""
                                     << QByteArray("Ab1\0\0\0\0\0"
                                                   "\0\0\0\0\0\0\0\0",
                                                   16);
    QTest::newRow("both full") << "12345678"
                               << "abcdefgh" << QByteArray("12345678abcdefgh");
    QTest::newRow("nine cut to eight") << "123456789"
                                       << "x" << QByteArray("12345678x\0\0\0\0\0\0\0", 16);
    QTest::newRow("space stored as 32") << "a b"
                                        << ""
                                        << QByteArray("a b\0\0\0\0\0"
                                                      "\0\0\0\0\0\0\0\0",
                                                      16);
    QTest::newRow("euro sign as 0x80") << QString(QChar(0x20AC)) << ""
                                       << QByteArray("\x80\0\0\0\0\0\0\0"
                                                     "\0\0\0\0\0\0\0\0",
                                                     16);
    QTest::newRow("e acute as 0xE9") << "" << QString(QChar(0xE9))
                                     << QByteArray("\0\0\0\0\0\0\0\0"
                                                   "\xE9\0\0\0\0\0\0\0",
                                                   16);
    QTest::newRow("no code becomes ?") << QString(QChar(0x3A9)) << ""
                                       << QByteArray("?\0\0\0\0\0\0\0"
                                                     "\0\0\0\0\0\0\0\0",
                                                     16);
}

void TestTable::packKeys() {
    QFETCH(QString, oKey);
    QFETCH(QString, iKey);
    QFETCH(QByteArray, keyBytes);
    ModBrevane mod;
    for (int slot = 0; slot < 16; ++slot) {
        mod.field(slot, KeyChar) = 0x55; // stale bytes must be overwritten
    }
    mod.PackKeys(oKey, iKey);
    QCOMPARE(mod.OKey, oKey);
    QCOMPARE(mod.IKey, iKey);
    QByteArray stored;
    for (int slot = 0; slot < 16; ++slot) {
        stored += char(mod.field(slot, KeyChar));
    }
    QCOMPARE(stored, keyBytes);
}

void TestTable::packKeysLeavesOtherBytes() {
    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    const CnfTable before = mod.Cnf;
    mod.PackKeys(QStringLiteral("k"), QStringLiteral("q"));
    for (int slot = 0; slot < LinkSlots; ++slot) {
        for (int f = 0; f < FieldsPerSlot; ++f) {
            if (f == KeyChar && slot < 16) {
                continue;
            }
            QCOMPARE(mod.field(slot, f), before[cnfOffset(slot, f)]);
        }
    }
    mod.field(20, KeyChar) = 7;
    mod.UnpackKeys();
    QCOMPARE(mod.OKey, QStringLiteral("k"));
    QCOMPARE(mod.IKey, QStringLiteral("q"));
    QCOMPARE(int(mod.field(20, KeyChar)), 7);
}

void TestTable::unpackSkipsZeros() {
    ModBrevane mod;
    mod.field(0, KeyChar) = 'A';
    mod.field(2, KeyChar) = 'C';
    mod.field(9, KeyChar) = 'x';
    mod.field(15, KeyChar) = 'z';
    mod.OKey = QStringLiteral("stale");
    mod.UnpackKeys();
    QCOMPARE(mod.OKey, QStringLiteral("AC"));
    QCOMPARE(mod.IKey, QStringLiteral("xz"));
}

void TestTable::packUnpackRoundTrip_data() {
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("one") << QStringLiteral("!");
    QTest::newRow("marks") << QStringLiteral("{}<>\\/?_");
    QTest::newRow("latin") << QStringLiteral("\u00C4\u00F6\u00DF\u00A9");
    QTest::newRow("cp1252 only") << QStringLiteral("\u20AC\u2122\u0152\u017E");
}

void TestTable::packUnpackRoundTrip() {
    QFETCH(QString, key);
    ModBrevane mod;
    mod.PackKeys(key, key);
    mod.OKey.clear();
    mod.IKey.clear();
    mod.UnpackKeys();
    QCOMPARE(mod.OKey, key);
    QCOMPARE(mod.IKey, key);
}

void TestTable::windows1252_data() {
    QTest::addColumn<int>("unicode");
    QTest::addColumn<int>("code");
    QTest::newRow("A") << 0x41 << 0x41;
    QTest::newRow("tilde") << 0x7E << 0x7E;
    QTest::newRow("nbsp") << 0xA0 << 0xA0;
    QTest::newRow("y diaeresis") << 0xFF << 0xFF;
    QTest::newRow("euro") << 0x20AC << 0x80;
    QTest::newRow("S caron") << 0x0160 << 0x8A;
    QTest::newRow("Y diaeresis") << 0x0178 << 0x9F;
    QTest::newRow("C1 control 0x81") << 0x81 << 0x81;
    QTest::newRow("C1 control 0x85 has none") << 0x85 << int('?');
    QTest::newRow("greek omega") << 0x3A9 << int('?');
    QTest::newRow("nul") << 0 << int('?');
}

void TestTable::windows1252() {
    QFETCH(int, unicode);
    QFETCH(int, code);
    QCOMPARE(int(toWindows1252(QChar(char16_t(unicode)))), code);
}

void TestTable::windows1252ReadsEveryCode() {
    // Every code from 1 to 255 reads as a character that writes back as the same code.
    for (int code = 1; code < 256; ++code) {
        const QChar c = fromWindows1252(static_cast<std::uint8_t>(code));
        QCOMPARE(int(toWindows1252(c)), code);
    }
}

void TestTable::hex2_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0") << 0 << QByteArray("00");
    QTest::newRow("10") << 10 << QByteArray("0A");
    QTest::newRow("255") << 255 << QByteArray("FF");
    QTest::newRow("256 cut") << 256 << QByteArray("00");
    QTest::newRow("0x1A3 cut") << 0x1A3 << QByteArray("A3");
    QTest::newRow("-1") << -1 << QByteArray("FF");
    QTest::newRow("-256") << -256 << QByteArray("00");
}

void TestTable::hex2() {
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    QCOMPARE(Hex2(value), text);
}

void TestTable::hex4_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("0") << 0 << QByteArray("0000");
    QTest::newRow("64") << 64 << QByteArray("0040");
    QTest::newRow("512") << 512 << QByteArray("0200");
    QTest::newRow("65535") << 65535 << QByteArray("FFFF");
    QTest::newRow("65536 cut") << 65536 << QByteArray("0000");
    QTest::newRow("-1") << -1 << QByteArray("FFFF");
    QTest::newRow("0xABCDE cut") << 0xABCDE << QByteArray("BCDE");
}

void TestTable::hex4() {
    QFETCH(int, value);
    QFETCH(QByteArray, text);
    QCOMPARE(Hex4(value), text);
}

void TestTable::hexVal_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("val2");
    QTest::addColumn<int>("val4");
    QTest::newRow("3Fxyz") << QByteArray("3Fxyz") << 63 << 63;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("G1") << QByteArray("G1") << 0 << 0;
    QTest::newRow("FFFF") << QByteArray("FFFF") << 255 << 65535;
    QTest::newRow("0200") << QByteArray("0200") << 2 << 512;
    QTest::newRow("lower case") << QByteArray("abcd") << 0xAB << 0xABCD;
    QTest::newRow("mixed case") << QByteArray("aBcD") << 0xAB << 0xABCD;
    QTest::newRow("one digit") << QByteArray("7") << 7 << 7;
    QTest::newRow("stops at non-hex") << QByteArray("1G23") << 1 << 1;
    QTest::newRow("only first four") << QByteArray("123456") << 0x12 << 0x1234;
    QTest::newRow("space first") << QByteArray(" 12") << 0 << 0;
    QTest::newRow("high byte") << QByteArray("\xFF"
                                             "1")
                               << 0 << 0;
}

void TestTable::hexVal() {
    QFETCH(QByteArray, text);
    QFETCH(int, val2);
    QFETCH(int, val4);
    QCOMPARE(int(HexVal2(text)), val2);
    QCOMPARE(int(HexVal4(text)), val4);
}

void TestTable::captions_data() {
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("link 01") << linkCaption(0) << "Link 01";
    QTest::newRow("link 64") << linkCaption(63) << "Link 64";
    QTest::newRow("node 0") << nodeCaption(0) << "Node: NC";
    QTest::newRow("node 1") << nodeCaption(1) << "Node: 01";
    QTest::newRow("node 254") << nodeCaption(254) << "Node: FE";
    QTest::newRow("node 255") << nodeCaption(255) << "Node: FF";
    QTest::newRow("type 0") << typeCaption(0).value_or("-") << "Quendel";
    QTest::newRow("type 1") << typeCaption(1).value_or("-") << "QD PC";
    QTest::newRow("type 2") << typeCaption(2).value_or("-") << "Relays";
    QTest::newRow("type 3 none") << typeCaption(3).value_or("-") << "-";
    QTest::newRow("type 255 none") << typeCaption(255).value_or("-") << "-";
    QTest::newRow("iref 0") << incomingRefCaption(0) << "Quendel NC.01";
    QTest::newRow("iref 253") << incomingRefCaption(253) << "Quendel NC.FE";
    QTest::newRow("iref 255") << incomingRefCaption(255) << "Quendel NC.00";
}

void TestTable::captions() {
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestTable::outgoingRef_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("ref");
    QTest::addColumn<QString>("caption");
    QTest::newRow("quendel 0") << 0 << 0 << "01";
    QTest::newRow("quendel 253") << 0 << 253 << "FE";
    QTest::newRow("quendel 255") << 0 << 255 << "00";
    QTest::newRow("qd pc 10") << 1 << 10 << "0B";
    QTest::newRow("relays 0") << 2 << 0 << "01-08";
    QTest::newRow("relays 7") << 2 << 7 << "57-64";
    QTest::newRow("relays 9") << 2 << 9 << "09-16";
    QTest::newRow("relays 10") << 2 << 10 << "17-24";
    QTest::newRow("type 3 relays") << 3 << 4 << "33-40";
    QTest::newRow("type 255 relays") << 255 << 255 << "57-64";
}

void TestTable::outgoingRef() {
    QFETCH(int, type);
    QFETCH(int, ref);
    QFETCH(QString, caption);
    QCOMPARE(outgoingRefCaption(std::uint8_t(type), std::uint8_t(ref)), caption);
}

void TestTable::workingFolders() {
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/Orvik Tessaly Net");
    QCOMPARE(FolderExists(root), false);
    QCOMPARE(PrepareWorkingFolders(root), true);
    QCOMPARE(FolderExists(root), true);
    QCOMPARE(FolderExists(root + QStringLiteral("/Brevane")), true);
    // Both present: nothing changes, a file inside survives.
    QFile marker(root + QStringLiteral("/Brevane/keep.BRV"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QCOMPARE(PrepareWorkingFolders(root), true);
    QCOMPARE(QFile::exists(marker.fileName()), true);
}

void TestTable::workingFolderBlockedByFile() {
    // A file where the folder should be: start-up goes on without the folders.
    QTemporaryDir tmp;
    const QString root = tmp.path() + QStringLiteral("/Orvik Tessaly Net");
    QFile blocker(root);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(FolderExists(root), false);
    QCOMPARE(PrepareWorkingFolders(root), false);
    QCOMPARE(FolderExists(root + QStringLiteral("/Brevane")), false);
}

QTEST_GUILESS_MAIN(TestTable)
#include "tst_table.moc"
