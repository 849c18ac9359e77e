#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "table/linktext.h"
#include "table/modbrevane.h"

// A configuration table in words, for people and for scripts. The captions are the
// window's own; raw field values stand beside them where a script needs them.

enum class ShowFormat { Text, Csv, Json };

// "text", "csv", "json": the name --format takes.
QString showFormatName(ShowFormat format);

// One line per link: outgoing on/off, node, type, ref; incoming on/off, ref. Then the
// two keys, any carried byte (fields 6 and 7, field 8 beyond the keys) that is set, and
// the controller's checksum of the table (see controllerChecksumText).
QString showText(const CnfTable& cnf);
// A header and one row per link, every caption followed by its raw field value; fields
// 6, 7 and 8 as numbers, the key character a slot carries, and the controller's checksum.
QString showCsv(const CnfTable& cnf);
// {"keys": {...}, "links": [{"link", "outgoing", "incoming", "fields"}, ...],
// "controllerChecksum"}.
QString showJson(const CnfTable& cnf);
QString showTable(const CnfTable& cnf, ShowFormat format);

// One difference from a table a to a table b, in the window's words.
struct TableDifference {
    QString where; // "Link 05 outgoing", "Link 05 field 6", "Outgoing key"
    QString what;  // "node", "type", "ref"; empty for on/off, a carried byte or a key
    QString from;
    QString to;
    int field = -1; // the field that differs; -1 for a key
    int fromValue = 0;
    int toValue = 0;

    // "Link 05 outgoing: node NC → 1A"; the raw values follow where both words read alike.
    QString line() const;
};

// Every difference from a to b: link by link, field by field, then the keys.
QList<TableDifference> tableDifferences(const CnfTable& a, const CnfTable& b);

// The differences of the two tables as the window packs them (see withKeysRepacked), one line
// each; empty when equal.
QStringList diffTables(const CnfTable& a, const CnfTable& b);
// {"same", "differences": [{"where", "what", aName, bName, "field", aName + "Value",
// bName + "Value"}]}; a key has no "what", "field" or values.
QString differencesJson(const QList<TableDifference>& differences, const QString& aName,
                        const QString& bName);

// Lines of cells, each column as wide as its widest cell, two spaces apart.
QString textColumns(const QList<QStringList>& rows);
