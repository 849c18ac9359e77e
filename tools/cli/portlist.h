#pragma once

#include <QList>
#include <QString>

// A serial device the system reports, with what it says about the adapter.
struct SerialDevice {
    QString location; // "/dev/ttyUSB0"
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// The serial devices present, as Qt finds them; none where Qt cannot say (Windows).
QList<SerialDevice> serialDevices();

// One line for each of COM1 to COM16: the device it reaches, whether that is present (a
// dangling link said so), what the adapter says; then each device no COM number reaches,
// with the command that links it as a free one. portsFolder exists or not, as given.
QString portsReport(const QString& portsFolder, bool folderExists,
                    const QList<SerialDevice>& devices);
