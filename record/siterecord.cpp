#include "record/siterecord.h"

#include <QDir>
#include <QFileInfo>
#include <functional>

#include "link/protocol.h"
#include "table/linktext.h"

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

QString twoDigits(int slot) {
    return QStringLiteral("%1").arg(slot + 1, 2, 10, QLatin1Char('0'));
}

// Paper outlives the site visit, and the keys guard the network: unless asked, only
// their length shows.
QString keyText(const QString& key, bool showKey) {
    if (key.isEmpty()) {
        return QStringLiteral("none");
    }
    if (showKey) {
        return quotedKey(key);
    }
    return QString(key.size(), QChar(0x2022)) +
           (key.size() == 1 ? QStringLiteral(" (1 character)")
                            : QStringLiteral(" (%1 characters)").arg(key.size()));
}

// The rows in use, and the rest as ranges; enabledField tells one from the other, as the
// window's check box does.
LinkSection section(const CnfTable& cnf, int enabledField,
                    const std::function<QStringList(int)>& cells) {
    LinkSection result;
    QList<int> unused;
    for (int slot = 0; slot < LinkSlots; ++slot) {
        if (cnf[cnfOffset(slot, enabledField)] != 0) {
            result.rows << QStringList{linkCaption(slot)} + cells(slot);
        } else {
            unused << slot;
        }
    }
    result.unused = unusedLinksText(unused);
    return result;
}

} // namespace

QString unusedLinksText(const QList<int>& unused) {
    if (unused.isEmpty()) {
        return {};
    }
    QStringList ranges;
    for (qsizetype i = 0; i < unused.size();) {
        qsizetype last = i;
        while (last + 1 < unused.size() && unused[last + 1] == unused[last] + 1) {
            ++last;
        }
        ranges << (last == i ? twoDigits(unused[i])
                             : twoDigits(unused[i]) + QLatin1Char('-') + twoDigits(unused[last]));
        i = last + 1;
    }
    return (unused.size() == 1 ? QStringLiteral("Link ") : QStringLiteral("Links ")) +
           ranges.join(QStringLiteral(", ")) + QStringLiteral(" not in use");
}

SiteRecord siteRecord(const CnfTable& cnf, const RecordSource& source, bool showKeys) {
    const QFileInfo file(source.path);
    SiteRecord record;
    record.fileName = file.fileName();
    record.facts = {
        {QStringLiteral("File"), file.fileName()},
        {QStringLiteral("Folder"), QDir::toNativeSeparators(file.absolutePath())},
        {QStringLiteral("Last changed"), source.lastChanged.toString(TimeFormat)},
        {QStringLiteral("Printed"),
         source.printed.toString(TimeFormat) + QStringLiteral(" with ") + source.program},
    };
    record.checksum = controllerChecksumText(cnf);
    ModBrevane keys;
    keys.Cnf = cnf;
    keys.UnpackKeys();
    record.keys = {{QStringLiteral("Outgoing key"), keyText(keys.OKey, showKeys)},
                   {QStringLiteral("Incoming key"), keyText(keys.IKey, showKeys)}};

    const auto f = [&cnf](int slot, int field) { return cnf[cnfOffset(slot, field)]; };
    record.outgoing = section(cnf, OEnabled, [&f](int slot) {
        // A type the window has no caption for leaves its label as it was; on paper it
        // says so, as show does.
        return QStringList{nodeCaption(f(slot, ONode)),
                           typeCaption(f(slot, OType))
                               .value_or(QStringLiteral("unknown (%1)").arg(f(slot, OType))),
                           outgoingRefCaption(f(slot, OType), f(slot, ORef))};
    });
    record.outgoing.heading = QStringLiteral("Outgoing links");
    record.outgoing.columns = {QStringLiteral("Link"), QStringLiteral("Node"),
                               QStringLiteral("Type"), QStringLiteral("Ref")};
    record.incoming = section(
        cnf, IEnabled, [&f](int slot) { return QStringList{incomingRefCaption(f(slot, IRef))}; });
    record.incoming.heading = QStringLiteral("Incoming links");
    record.incoming.columns = {QStringLiteral("Link"), QStringLiteral("Station")};
    record.handFields = {QStringLiteral("Controller location"), QStringLiteral("Commissioned by"),
                         QStringLiteral("Date"), QStringLiteral("Signature")};
    return record;
}
