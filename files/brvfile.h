#pragma once

#include <QByteArrayView>
#include <QString>
#include <optional>

#include "table/modbrevane.h"

// A configuration file: exactly the 576 table bytes in table order, nothing else.

// The table held by a file's bytes: the first 576 of them; nothing when there are fewer.
std::optional<CnfTable> brvTableFromBytes(QByteArrayView bytes);

// Reads a whole file before anything changes. On failure returns nothing and, when
// error is given, sets it to the reason: the system's text, or how many bytes a short
// file holds.
std::optional<CnfTable> readBrvFile(const QString& path, QString* error = nullptr);

// Reads a whole file into the table and rebuilds both keys from it. A file that cannot
// be read, or is short, leaves mod exactly as it was.
bool loadCnfFile(ModBrevane& mod, const QString& path, QString* error = nullptr);

// The one way every file of ours is written (a configuration file, a site record). The
// bytes go to a temporary file beside path and onto the disk; only then does it replace
// path, so any failure (a full disk, a size limit) leaves the old file exactly as it was
// and no part of the new one. Returns whether the file now holds the bytes; on failure
// sets error, when given, to the reason.
bool writeFileSafely(const QString& path, QByteArrayView bytes, QString* error = nullptr);
// The table's 576 bytes, written as above.
bool writeBrvFile(const QString& path, const CnfTable& cnf, QString* error = nullptr);
