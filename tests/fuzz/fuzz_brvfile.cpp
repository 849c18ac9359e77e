// *.BRV files of any content and length, from bytes and read into the shared state. A
// refused file changes nothing; an accepted one is its first 576 bytes, with the keys
// rebuilt from them and nothing else touched.

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstring>

#include "files/brvfile.h"
#include "table/cp1252.h"
#include "tests/fuzz/reference.h"

namespace {

bool sameState(const ModBrevane& a, const ModBrevane& b) {
    return a.Cnf == b.Cnf && a.OKey == b.OKey && a.IKey == b.IKey && a.Modified == b.Modified &&
           a.Refreshing == b.Refreshing && a.PickResult == b.PickResult && a.CnfPath == b.CnfPath &&
           a.ComPortNum == b.ComPortNum && a.LastReply == b.LastReply &&
           a.DialogUsed == b.DialogUsed;
}

ModBrevane busyState() {
    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    mod.OKey = QStringLiteral("Old-Key");
    mod.IKey = QStringLiteral("In");
    mod.Modified = mod.DialogUsed = true;
    mod.PickResult = 7;
    mod.CnfPath = QStringLiteral("/site/previous.BRV");
    mod.ComPortNum = 5;
    mod.LastReply = "[34DA90190E]";
    return mod;
}

// The key in field 8 of slots first..first+7, zero bytes skipped.
QString keyOf(const CnfTable& cnf, int first) {
    QString key;
    for (int slot = first; slot < first + 8; ++slot) {
        if (cnf[slot * 9 + 8] != 0) {
            key += fromWindows1252(cnf[slot * 9 + 8]);
        }
    }
    return key;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const bool whole = bytes.size() >= CnfBytes;
    const std::optional<CnfTable> table = brvTableFromBytes(bytes);
    FUZZ_REQUIRE(table.has_value() == whole, "accepted exactly when 576 bytes or more");
    FUZZ_REQUIRE(!table || std::memcmp(table->data(), bytes.constData(), CnfBytes) == 0,
                 "the table is the first 576 bytes");

    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.BRV"));
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
                 "temp file written");
    file.close();
    const ModBrevane before = busyState();
    ModBrevane mod = busyState();
    QString error;
    FUZZ_REQUIRE(loadCnfFile(mod, path, &error) == whole, "loaded exactly when 576 bytes or more");
    if (!whole) {
        FUZZ_REQUIRE(sameState(mod, before), "a refused file changes nothing");
        FUZZ_REQUIRE(error == QStringLiteral("The file holds %1 bytes; a configuration file holds "
                                             "576.")
                                  .arg(bytes.size()),
                     "a short file is refused with its size");
        return 0;
    }
    FUZZ_REQUIRE(std::memcmp(mod.Cnf.data(), bytes.constData(), CnfBytes) == 0,
                 "the table is the file's first 576 bytes");
    FUZZ_REQUIRE(mod.OKey == keyOf(mod.Cnf, 0) && mod.IKey == keyOf(mod.Cnf, 8),
                 "the keys come from field 8 of slots 0-15");
    mod.Cnf = before.Cnf;
    mod.OKey = before.OKey;
    mod.IKey = before.IKey;
    FUZZ_REQUIRE(sameState(mod, before), "nothing but the table and the keys changes");
    return 0;
}
