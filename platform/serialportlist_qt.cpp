#include "platform/serialportlist.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace {

// The latency timer a USB serial driver shows (ftdi_sio does), readable by anyone.
int latencyTimerMs(const QString& location) {
    QFile file(QStringLiteral("/sys/bus/usb-serial/devices/%1/latency_timer")
                   .arg(QFileInfo(location).fileName()));
    bool ok = false;
    const int ms = file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt(&ok) : -1;
    return ok ? ms : -1;
}

} // namespace

QList<SerialDevice> serialDevices() {
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.location = info.systemLocation();
        device.description = info.description();
        device.manufacturer = info.manufacturer();
        device.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            device.usbId = QStringLiteral("%1:%2")
                               .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                               .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        }
        device.latencyTimerMs = latencyTimerMs(device.location);
        devices << device;
    }
    return devices;
}
