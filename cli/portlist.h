#pragma once

#include <QList>
#include <QString>

#include "platform/serialportlist.h"

// One line for each of COM1 to COM16: the device it reaches, whether that is present (a
// dangling link said so), what the adapter says; then each device no COM number reaches,
// with the command that links it as a free one. portsFolder exists or not, as given.
QString portsReport(const QString& portsFolder, bool folderExists,
                    const QList<SerialDevice>& devices);

// Where the system numbers its own ports (Windows), from the ports it lists: one line for
// each of COM1 to COM16, present (with the driver's device and what the adapter says) or
// missing; then every other port present, with how to give it a number the window's menu
// reaches.
QString comPortsReport(const QList<SerialDevice>& ports);

// How to lower an adapter's latency timer when it is above PromptLatencyMs: on Linux the
// program's own request and, for other programs, a udev rule for that adapter; on Windows
// the Device Manager's steps. Lines each ending in a line break; empty for a prompt adapter
// or one whose timer is not told.
QString linuxLatencyAdvice(const SerialDevice& device);
QString windowsLatencyAdvice(const SerialDevice& device);
