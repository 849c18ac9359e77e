#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "table/modbrevane.h"

// A configuration table in words, for people and for scripts. The captions are the
// window's own; raw field values stand beside them where a script needs them.

enum class ShowFormat { Text, Csv, Json };

// "text", "csv", "json" (any case); nothing for another name.
std::optional<ShowFormat> showFormatFromName(const QString& name);

// One line per link: outgoing on/off, node, type, ref; incoming on/off, ref. Then the
// two keys, and any carried byte (fields 6 and 7, field 8 beyond the keys) that is set.
QString showText(const CnfTable& cnf);
// A header and one row per link, every caption followed by its raw field value; fields
// 6, 7 and 8 as numbers, and the key character a slot carries.
QString showCsv(const CnfTable& cnf);
// {"keys": {...}, "links": [{"link", "outgoing", "incoming", "fields"}, ...]}.
QString showJson(const CnfTable& cnf);
QString showTable(const CnfTable& cnf, ShowFormat format);

// The table as the window holds it once it has opened the file and packed the keys again
// for a Download or a Save: a 0 byte inside a key moves behind the key's last character.
CnfTable asWindowPacks(const CnfTable& cnf);

// Every difference from a to b, compared as the window packs them (see asWindowPacks), one line
// each: link by link, field by field in the window's words ("Link 05 outgoing: node NC → 1A"), then
// the keys. Empty when equal.
QStringList diffTables(const CnfTable& a, const CnfTable& b);

// A key as text in double quotes: \" and \\ escaped, a character that does not print as
// \x and its two-digit Windows-1252 code.
QString quotedKey(const QString& key);
