// *.BRV files of any content read into the table: a refused one changes nothing, an
// accepted one is its first 576 bytes.

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstring>

#include "files/brvfile.h"
#include "tests/fuzz/reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("fuzz.BRV"));
    QFile file(path);
    FUZZ_REQUIRE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
                 "temp file written");
    file.close();

    ModBrevane mod;
    for (int i = 0; i < CnfBytes; ++i) {
        mod.Cnf[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    mod.OKey = QStringLiteral("Old-Key");
    mod.IKey = QStringLiteral("In");
    const CnfTable before = mod.Cnf;
    QString error;
    const bool whole = bytes.size() >= CnfBytes;
    FUZZ_REQUIRE(loadCnfFile(mod, path, &error) == whole, "loaded exactly when 576 bytes or more");
    if (!whole) {
        FUZZ_REQUIRE(mod.Cnf == before && mod.OKey == "Old-Key" && mod.IKey == "In",
                     "a refused file changes nothing");
        return 0;
    }
    FUZZ_REQUIRE(std::memcmp(mod.Cnf.data(), bytes.constData(), CnfBytes) == 0,
                 "the table is the file's first 576 bytes");
    return 0;
}
