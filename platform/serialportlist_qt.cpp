#include "platform/serialportlist.h"

#include <QSerialPortInfo>

QList<SerialDevice> serialDevices() {
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
        device.location = info.systemLocation();
        device.description = info.description();
        device.manufacturer = info.manufacturer();
        device.serialNumber = info.serialNumber();
        devices << device;
    }
    return devices;
}
