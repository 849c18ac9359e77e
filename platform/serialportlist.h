#pragma once

#include <QList>
#include <QString>

// A serial port the system reports, with what it says about the adapter behind it.
struct SerialDevice {
    QString name;     // "COM3" where the system numbers its ports (Windows)
    QString location; // "/dev/ttyUSB0"; on Windows the driver's device, "\Device\VCP0"
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString usbId; // the adapter's USB vendor and product id, "0403:6001"
};

// The serial ports present. Windows: each port of the system's list of serial ports, with
// the friendly name, maker and USB ids the driver gave its device. Elsewhere: as Qt finds
// them.
QList<SerialDevice> serialDevices();

// The USB vendor and product id ("0403:6001") and serial number a Windows device instance
// id ("USB\VID_0403&PID_6001\A10KXYZ", "FTDIBUS\VID_0403+PID_6001+A10KXYZA\0000") or, for
// the ids alone, its hardware id carries; empty parts where it carries none.
void readUsbIdentity(const QString& instanceId, const QString& hardwareId, SerialDevice& device);
