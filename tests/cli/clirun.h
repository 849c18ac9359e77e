#pragma once

#include <QString>
#include <QStringList>

// One run of the real brevane-cli, started with the test's environment (its HOME).
struct CliRun {
    int status = -1; // -1: it did not end normally
    QString out;
    QString err;
};

CliRun runCli(const QStringList& arguments);

// Writes the bytes to path as they are; false when that failed.
bool writeBytes(const QString& path, const QByteArray& bytes);
