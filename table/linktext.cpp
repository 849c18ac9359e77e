#include "table/linktext.h"

#include "table/cp1252.h"
#include "table/hextext.h"

namespace {

QString twoDecimal(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

QString linkCaption(int slot) {
    return QStringLiteral("Link ") + twoDecimal(slot + 1);
}

QString nodeCaption(std::uint8_t oNode) {
    if (oNode == 0) {
        return QStringLiteral("Node: NC");
    }
    return QStringLiteral("Node: ") + QString::fromLatin1(Hex2(oNode));
}

std::optional<QString> typeCaption(std::uint8_t oType) {
    switch (oType) {
    case 0:
        return QStringLiteral("Quendel");
    case 1:
        return QStringLiteral("QD PC");
    case 2:
        return QStringLiteral("Relays");
    default:
        return std::nullopt;
    }
}

QString relayRangeCaption(int group) {
    return twoDecimal(group * 8 + 1) + QLatin1Char('-') + twoDecimal(group * 8 + 8);
}

QString stationCaption(int index) {
    return QString::fromLatin1(Hex2(index + 1));
}

QString outgoingRefCaption(std::uint8_t oType, std::uint8_t oRef) {
    if (oType >= 2) {
        return relayRangeCaption(oRef % 8);
    }
    return stationCaption(oRef);
}

QString incomingRefCaption(std::uint8_t iRef) {
    return QStringLiteral("Quendel NC.") + stationCaption(iRef);
}

QString keyCharacter(QChar c) {
    if (c.isPrint()) {
        return QString(c);
    }
    return QStringLiteral("\\x") + QString::fromLatin1(Hex2(toWindows1252(c)));
}

QString quotedKey(const QString& key) {
    QString text = QStringLiteral("\"");
    for (const QChar c : key) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            text += QLatin1Char('\\') + c;
        } else {
            text += keyCharacter(c);
        }
    }
    return text + QLatin1Char('"');
}
