#include "files/brvfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "platform/filesync.h"

std::optional<CnfTable> brvTableFromBytes(QByteArrayView bytes) {
    if (bytes.size() < CnfBytes) {
        return std::nullopt;
    }
    CnfTable cnf{};
    std::copy_n(reinterpret_cast<const std::uint8_t*>(bytes.data()), CnfBytes, cnf.begin());
    return cnf;
}

std::optional<CnfTable> readBrvFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return std::nullopt;
    }
    const QByteArray bytes = file.read(CnfBytes);
    if (file.error() != QFileDevice::NoError) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return std::nullopt;
    }
    auto cnf = brvTableFromBytes(bytes);
    if (!cnf && error != nullptr) {
        *error = QStringLiteral("The file holds %1 bytes; a configuration file holds %2.")
                     .arg(file.size() > 0 ? file.size() : bytes.size())
                     .arg(CnfBytes);
    }
    return cnf;
}

bool loadCnfFile(ModBrevane& mod, const QString& path, QString* error) {
    const std::optional<CnfTable> cnf = readBrvFile(path, error);
    if (!cnf) {
        return false;
    }
    mod.Cnf = *cnf;
    mod.UnpackKeys();
    return true;
}

bool writeFileSafely(const QString& path, QByteArrayView bytes, QString* error) {
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        if (error != nullptr) {
            *error = reason;
        }
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(file.errorString());
    }
    // The bytes must be in the file before it takes the old one's name: commit() alone
    // would put an empty file in its place when the disk is full. What a short write
    // left is written again, so that the system says why it stops.
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            return fail(file.errorString());
        }
        done += written;
    }
    if (!file.flush()) {
        return fail(file.errorString());
    }
    if (file.size() != bytes.size()) {
        return fail(QStringLiteral("Only %1 of %2 bytes reached the file.")
                        .arg(file.size())
                        .arg(bytes.size()));
    }
    QString reason;
    if (!syncFileData(file.handle(), &reason)) {
        return fail(reason);
    }
    if (!file.commit()) {
        if (error != nullptr) {
            *error = file.errorString();
        }
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

bool writeBrvFile(const QString& path, const CnfTable& cnf, QString* error) {
    return writeFileSafely(
        path, QByteArrayView(reinterpret_cast<const char*>(cnf.data()), CnfBytes), error);
}
