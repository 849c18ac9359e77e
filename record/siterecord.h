#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include "table/modbrevane.h"

// A site record: what the printed record of a configuration file says, as lines and
// cells in the window's words, before any page is laid out.

// Where the table came from and who printed it.
struct RecordSource {
    QString path; // the *.BRV file
    QDateTime lastChanged;
    QDateTime printed;
    QString program; // "brevane-cli 1.0.0"
};

// One half of the window's links: the rows in use, and the rest as ranges.
struct LinkSection {
    QString heading;         // "Outgoing links"
    QStringList columns;     // "Link", "Node", "Type", "Ref"
    QList<QStringList> rows; // one per link in use, in the window's words
    QString unused;          // "Links 12-32, 40-64 not in use"; empty when all are in use
};

using Fact = QPair<QString, QString>; // a label and its value

struct SiteRecord {
    QString fileName;  // "Hall 2.BRV"
    QList<Fact> facts; // file, folder, last change, printing
    QString checksum;  // "1A2B 3C4D", as the controller reports it
    QList<Fact> keys;  // outgoing and incoming
    LinkSection outgoing;
    LinkSection incoming;
    QStringList handFields; // the box filled in by hand: location, by whom, date, signature
};

// The record of a table; the keys as dots of their length unless showKeys.
SiteRecord siteRecord(const CnfTable& cnf, const RecordSource& source, bool showKeys);

// "Links 12-32, 40-64 not in use", "Link 07 not in use", from the slots not in use
// (ascending); empty for none.
QString unusedLinksText(const QList<int>& unused);
