#include "cli/tablereport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "link/protocol.h"
#include "table/cp1252.h"
#include "table/linktext.h"

namespace {

const QString Arrow = QStringLiteral(" → ");

QString onOff(std::uint8_t enabled) {
    return enabled != 0 ? QStringLiteral("on") : QStringLiteral("off");
}

// The window leaves the type label as it was for these; here there is nothing before.
QString typeWord(std::uint8_t oType) {
    return typeCaption(oType).value_or(QStringLiteral("unknown (%1)").arg(oType));
}

// The node caption without its "Node: " label, for lines that already name the field.
QString nodeWord(std::uint8_t oNode) {
    static const QString label = QStringLiteral("Node: ");
    QString caption = nodeCaption(oNode);
    if (caption.startsWith(label)) {
        caption.remove(0, label.size());
    }
    return caption;
}

// Bytes the table carries without meaning: fields 6 and 7, and field 8 outside the keys.
bool isCarried(int slot, int field) {
    return field == Reserved6 || field == Reserved7 || (field == KeyChar && slot >= KeySlots);
}

// The characters a slot's field 8 stands for: part of a key in slots 0-15.
QString slotKeyCharacter(const CnfTable& cnf, int slot) {
    const std::uint8_t code = cnf[cnfOffset(slot, KeyChar)];
    if (slot >= KeySlots || code == 0) {
        return {};
    }
    return keyCharacter(fromWindows1252(code));
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

QString textColumns(const QList<QStringList>& rows) {
    QList<qsizetype> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (qsizetype c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    QString text;
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            line += row[c].leftJustified(widths[c] + 2);
        }
        text += line.trimmed() + QLatin1Char('\n');
    }
    return text;
}

QString showFormatName(ShowFormat format) {
    switch (format) {
    case ShowFormat::Csv:
        return QStringLiteral("csv");
    case ShowFormat::Json:
        return QStringLiteral("json");
    case ShowFormat::Text:
        break;
    }
    return QStringLiteral("text");
}

QString showText(const CnfTable& cnf) {
    QList<QStringList> rows{{QStringLiteral("Link"), QStringLiteral("Outgoing"),
                             QStringLiteral("Node"), QStringLiteral("Type"), QStringLiteral("Ref"),
                             QStringLiteral("Incoming"), QStringLiteral("Ref")}};
    QStringList carried;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        const auto f = [&](int field) { return cnf[cnfOffset(slot, field)]; };
        rows << QStringList{linkCaption(slot),
                            onOff(f(OEnabled)),
                            nodeCaption(f(ONode)),
                            typeWord(f(OType)),
                            outgoingRefCaption(f(OType), f(ORef)),
                            onOff(f(IEnabled)),
                            incomingRefCaption(f(IRef))};
        for (int field : {int(Reserved6), int(Reserved7), int(KeyChar)}) {
            if (isCarried(slot, field) && f(field) != 0) {
                carried << QStringLiteral("%1 field %2: %3")
                               .arg(linkCaption(slot))
                               .arg(field)
                               .arg(f(field));
            }
        }
    }
    const Keys keys = keysOf(cnf);
    QString text = textColumns(rows);
    text += QStringLiteral("\nOutgoing key: %1\nIncoming key: %2\n")
                .arg(quotedKey(keys.outgoing), quotedKey(keys.incoming));
    if (!carried.isEmpty()) {
        text += QStringLiteral("\nCarried bytes the window does not show:\n") +
                carried.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    return text + QStringLiteral("\nController checksum: %1\n").arg(controllerChecksumText(cnf));
}

QString showCsv(const CnfTable& cnf) {
    QString text = QStringLiteral("Link,Outgoing,OEnabled,Node,ONode,Type,OType,Ref,ORef,"
                                  "Incoming,IEnabled,Incoming ref,IRef,Reserved6,Reserved7,"
                                  "Key character,KeyChar,Controller checksum\n");
    const QString checksum = controllerChecksumText(cnf);
    for (int slot = 0; slot < LinkSlots; ++slot) {
        const auto f = [&](int field) { return cnf[cnfOffset(slot, field)]; };
        const auto raw = [&](int field) { return QString::number(f(field)); };
        const QStringList cells{linkCaption(slot), onOff(f(OEnabled)),
                                raw(OEnabled),     nodeCaption(f(ONode)),
                                raw(ONode),        typeCaption(f(OType)).value_or(QString()),
                                raw(OType),        outgoingRefCaption(f(OType), f(ORef)),
                                raw(ORef),         onOff(f(IEnabled)),
                                raw(IEnabled),     incomingRefCaption(f(IRef)),
                                raw(IRef),         raw(Reserved6),
                                raw(Reserved7),    slotKeyCharacter(cnf, slot),
                                raw(KeyChar),      checksum};
        QStringList line;
        for (const QString& cell : cells) {
            line << csvField(cell);
        }
        text += line.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

QString showJson(const CnfTable& cnf) {
    static const char* const FieldNames[FieldsPerSlot] = {"OEnabled",  "ONode",     "OType",
                                                          "ORef",      "IEnabled",  "IRef",
                                                          "Reserved6", "Reserved7", "KeyChar"};
    QJsonArray links;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        const auto f = [&](int field) { return cnf[cnfOffset(slot, field)]; };
        QJsonObject fields;
        for (int field = 0; field < FieldsPerSlot; ++field) {
            fields.insert(QLatin1String(FieldNames[field]), f(field));
        }
        const std::optional<QString> type = typeCaption(f(OType));
        const QJsonObject outgoing{
            {QStringLiteral("state"), onOff(f(OEnabled))},
            {QStringLiteral("node"), nodeCaption(f(ONode))},
            {QStringLiteral("type"), type ? QJsonValue(*type) : QJsonValue()},
            {QStringLiteral("ref"), outgoingRefCaption(f(OType), f(ORef))},
        };
        const QJsonObject incoming{
            {QStringLiteral("state"), onOff(f(IEnabled))},
            {QStringLiteral("ref"), incomingRefCaption(f(IRef))},
        };
        links.append(QJsonObject{{QStringLiteral("link"), linkCaption(slot)},
                                 {QStringLiteral("outgoing"), outgoing},
                                 {QStringLiteral("incoming"), incoming},
                                 {QStringLiteral("fields"), fields}});
    }
    const Keys keys = keysOf(cnf);
    const QJsonObject root{
        {QStringLiteral("keys"), QJsonObject{{QStringLiteral("outgoing"), keys.outgoing},
                                             {QStringLiteral("incoming"), keys.incoming}}},
        {QStringLiteral("links"), links},
        {QStringLiteral("controllerChecksum"), controllerChecksumText(cnf)}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}

QString showTable(const CnfTable& cnf, ShowFormat format) {
    switch (format) {
    case ShowFormat::Csv:
        return showCsv(cnf);
    case ShowFormat::Json:
        return showJson(cnf);
    case ShowFormat::Text:
        break;
    }
    return showText(cnf);
}

QString TableDifference::line() const {
    QString text = where + QStringLiteral(": ") +
                   (what.isEmpty() ? what : what + QLatin1Char(' ')) +
                   (field < 0 ? quotedKey(from) + Arrow + quotedKey(to) : from + Arrow + to);
    if (field >= 0 && from == to) {
        text +=
            QStringLiteral(" (field %1: %2%3%4)").arg(field).arg(fromValue).arg(Arrow).arg(toValue);
    }
    return text;
}

QList<TableDifference> tableDifferences(const CnfTable& a, const CnfTable& b) {
    const Keys keysA = keysOf(a);
    const Keys keysB = keysOf(b);
    QList<TableDifference> differences;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        const auto fa = [&](int field) { return a[cnfOffset(slot, field)]; };
        const auto fb = [&](int field) { return b[cnfOffset(slot, field)]; };
        // One entry per differing field; when the words on both sides read alike (the
        // relay range wraps every eight groups), the raw values say what changed.
        const auto report = [&](int field, const QString& where, const QString& what,
                                const QString& from, const QString& to) {
            if (fa(field) != fb(field)) {
                differences << TableDifference{where, what, from, to, field, fa(field), fb(field)};
            }
        };
        const QString outgoing = linkCaption(slot) + QStringLiteral(" outgoing");
        const QString incoming = linkCaption(slot) + QStringLiteral(" incoming");
        report(OEnabled, outgoing, {}, onOff(fa(OEnabled)), onOff(fb(OEnabled)));
        report(ONode, outgoing, QStringLiteral("node"), nodeWord(fa(ONode)), nodeWord(fb(ONode)));
        report(OType, outgoing, QStringLiteral("type"), typeWord(fa(OType)), typeWord(fb(OType)));
        report(ORef, outgoing, QStringLiteral("ref"), outgoingRefCaption(fa(OType), fa(ORef)),
               outgoingRefCaption(fb(OType), fb(ORef)));
        report(IEnabled, incoming, {}, onOff(fa(IEnabled)), onOff(fb(IEnabled)));
        report(IRef, incoming, QStringLiteral("ref"), incomingRefCaption(fa(IRef)),
               incomingRefCaption(fb(IRef)));
        // Key bytes show in the key entries below, unless both keys read the same (a 0
        // byte inside a key is skipped).
        const bool keyDiffers =
            slot < KeyLength ? keysA.outgoing != keysB.outgoing : keysA.incoming != keysB.incoming;
        for (int field : {int(Reserved6), int(Reserved7), int(KeyChar)}) {
            if (isCarried(slot, field) || (field == KeyChar && !keyDiffers)) {
                report(field, linkCaption(slot) + QStringLiteral(" field %1").arg(field), {},
                       QString::number(fa(field)), QString::number(fb(field)));
            }
        }
    }
    if (keysA.outgoing != keysB.outgoing) {
        differences << TableDifference{
            QStringLiteral("Outgoing key"), {}, keysA.outgoing, keysB.outgoing};
    }
    if (keysA.incoming != keysB.incoming) {
        differences << TableDifference{
            QStringLiteral("Incoming key"), {}, keysA.incoming, keysB.incoming};
    }
    return differences;
}

QStringList diffTables(const CnfTable& a, const CnfTable& b) {
    QStringList lines;
    for (const TableDifference& difference :
         tableDifferences(withKeysRepacked(a), withKeysRepacked(b))) {
        lines << difference.line();
    }
    return lines;
}

QString differencesJson(const QList<TableDifference>& differences, const QString& aName,
                        const QString& bName) {
    QJsonArray list;
    for (const TableDifference& difference : differences) {
        QJsonObject entry{{QStringLiteral("where"), difference.where},
                          {aName, difference.from},
                          {bName, difference.to}};
        if (difference.field >= 0) {
            if (!difference.what.isEmpty()) {
                entry.insert(QStringLiteral("what"), difference.what);
            }
            entry.insert(QStringLiteral("field"), difference.field);
            entry.insert(aName + QStringLiteral("Value"), difference.fromValue);
            entry.insert(bName + QStringLiteral("Value"), difference.toValue);
        }
        list.append(entry);
    }
    const QJsonObject root{{QStringLiteral("same"), differences.isEmpty()},
                           {QStringLiteral("differences"), list}};
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Indented));
}
