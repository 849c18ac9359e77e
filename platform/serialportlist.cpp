#include "platform/serialportlist.h"

#include <QRegularExpression>
#include <QStringList>

void readUsbIdentity(const QString& instanceId, const QString& hardwareId, SerialDevice& device) {
    static const QRegularExpression ids(QStringLiteral("VID_([0-9A-F]{4})[&+]PID_([0-9A-F]{4})"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (const QString& id : {instanceId, hardwareId}) {
        const QRegularExpressionMatch match = ids.match(id);
        if (match.hasMatch()) {
            device.usbId = (match.captured(1) + QLatin1Char(':') + match.captured(2)).toLower();
            break;
        }
    }
    const QStringList parts = instanceId.split(QLatin1Char('\\'));
    if (parts.size() != 3) {
        return;
    }
    const QString bus = parts[0].toUpper();
    if (bus == QLatin1String("USB") && !parts[2].contains(QLatin1Char('&'))) {
        // Without a serial number of its own a device gets a made-up id with '&' in it.
        device.serialNumber = parts[2];
    } else if (bus == QLatin1String("FTDIBUS")) {
        // The serial number, then a letter for the adapter's channel.
        const QStringList fields = parts[1].split(QLatin1Char('+'));
        if (fields.size() == 3 && fields[2].size() > 1) {
            device.serialNumber = fields[2].chopped(1);
        }
    }
}
