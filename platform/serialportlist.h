#pragma once

#include <QList>
#include <QString>

// A serial port the system reports, with what it says about the adapter behind it.
struct SerialDevice {
    QString name = {};     // "COM3" where the system numbers its ports (Windows)
    QString location = {}; // "/dev/ttyUSB0"; on Windows the driver's device, "\Device\VCP0"
    QString description = {};
    QString manufacturer = {};
    QString serialNumber = {};
    QString usbId = {};      // the adapter's USB vendor and product id, "0403:6001"
    int latencyTimerMs = -1; // how long the adapter may hold what it receives; -1: not told
};

// Above this an adapter's latency timer slows every exchange noticeably.
constexpr int PromptLatencyMs = 2;

// The serial ports present. Windows: each port of the system's list of serial ports, with
// the friendly name, maker and USB ids the driver gave its device, and an FTDI driver's
// latency timer. Elsewhere: as Qt finds them, with the latency timer a USB serial driver
// shows in sysfs.
QList<SerialDevice> serialDevices();

// The USB vendor and product id ("0403:6001") and serial number a Windows device instance
// id ("USB\VID_0403&PID_6001\A10KXYZ", "FTDIBUS\VID_0403+PID_6001+A10KXYZA\0000") or, for
// the ids alone, its hardware id carries; empty parts where it carries none.
void readUsbIdentity(const QString& instanceId, const QString& hardwareId, SerialDevice& device);
