#include "cli/portlist.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <iterator>
#include <limits>

#include "cli/tablereport.h"
#include "platform/serialport.h"

namespace {

// What one COM number reaches.
struct ComLine {
    QString device;
    QString state;   // "present", "missing", "dangling link", "no link"
    QString reached; // the device with every link resolved, when present
};

ComLine comLine(int number, const QString& folder, bool folderExists) {
    const QString path = portPath(number, folder, folderExists);
    const QFileInfo entry(path);
    if (entry.isSymLink()) {
        const QString target = entry.symLinkTarget();
        if (!entry.exists()) {
            return {target, QStringLiteral("dangling link"), {}};
        }
        return {target, QStringLiteral("present"), entry.canonicalFilePath()};
    }
    if (!entry.exists()) {
        return {folderExists ? QStringLiteral("-") : path,
                folderExists ? QStringLiteral("no link") : QStringLiteral("missing"),
                {}};
    }
    return {path, QStringLiteral("present"), entry.canonicalFilePath()};
}

QString details(const SerialDevice& device) {
    QStringList parts;
    for (const QString& part : {device.description, device.manufacturer}) {
        if (!part.isEmpty()) {
            parts << part;
        }
    }
    if (!device.usbId.isEmpty()) {
        parts << QStringLiteral("USB ID ") + device.usbId;
    }
    if (!device.serialNumber.isEmpty()) {
        parts << QStringLiteral("serial ") + device.serialNumber;
    }
    if (device.latencyTimerMs >= 0) {
        parts << QStringLiteral("latency timer %1 ms").arg(device.latencyTimerMs);
    }
    return parts.join(QStringLiteral(", "));
}

// The advice for every device whose adapter holds replies long.
QString latencyAdvices(const QList<SerialDevice>& devices,
                       QString (*advice)(const SerialDevice& device)) {
    QString text;
    for (const SerialDevice& device : devices) {
        const QString lines = advice(device);
        text += lines.isEmpty() ? QString() : QLatin1Char('\n') + lines;
    }
    return text;
}

QString canonical(const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

QString quoted(const QString& path) {
    QString text = path;
    return QLatin1Char('\'') + text.replace(QStringLiteral("'"), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

} // namespace

QString portsReport(const QString& portsFolder, bool folderExists,
                    const QList<SerialDevice>& devices) {
    QString text =
        folderExists
            ? QStringLiteral("COM numbers are the links in %1:\n").arg(portsFolder)
            : QStringLiteral("No folder %1, so COMn is /dev/ttyS<n-1>:\n").arg(portsFolder);
    QList<QStringList> rows;
    QStringList reached; // devices, links resolved
    bool anyPresent = false;
    QList<int> freeNumbers; // what a new link may take: no entry, or no device by default
    for (int number = 1; number <= ComPorts; ++number) {
        const ComLine line = comLine(number, portsFolder, folderExists);
        QStringList row{QStringLiteral("COM%1").arg(number), line.device, line.state};
        const auto listed = std::find_if(devices.begin(), devices.end(), [&](const auto& device) {
            return !line.reached.isEmpty() && canonical(device.location) == line.reached;
        });
        if (listed != devices.end()) {
            row << details(*listed);
        } else if (!line.reached.isEmpty()) {
            // A pseudo-terminal, or a /dev/ttyS node with no serial port behind it.
            row.last() += QStringLiteral(" (not listed as a serial port)");
        }
        rows << row;
        reached << line.reached;
        anyPresent = anyPresent || !line.reached.isEmpty();
        if (line.state == QLatin1String("no link") || line.state == QLatin1String("missing")) {
            freeNumbers << number;
        }
    }
    text += textColumns(rows);
    QStringList unreached;
    for (const SerialDevice& device : devices) {
        if (reached.contains(canonical(device.location))) {
            continue;
        }
        unreached << (device.location + QStringLiteral("  ") + details(device)).trimmed();
        if (freeNumbers.isEmpty()) {
            unreached << QStringLiteral("    (no free COM number: remove a link first)");
            continue;
        }
        const QString link = portsFolder + QStringLiteral("/COM%1").arg(freeNumbers.takeFirst());
        const QString makeFolder =
            folderExists ? QString() : QStringLiteral("mkdir -p %1 && ").arg(quoted(portsFolder));
        unreached << QStringLiteral("    ") + makeFolder +
                         QStringLiteral("ln -s %1 %2").arg(quoted(device.location), quoted(link));
    }
    if (unreached.isEmpty()) {
        return text + latencyAdvices(devices, linuxLatencyAdvice);
    }
    text += QStringLiteral("\nSerial devices no COM number reaches, each with the command that "
                           "links it:\n") +
            unreached.join(QLatin1Char('\n')) + QLatin1Char('\n');
    if (!folderExists && anyPresent) {
        text += QStringLiteral("Once that folder exists, each COM number is its link there only: "
                               "link the /dev/ttyS devices in use too.\n");
    }
    return text + latencyAdvices(devices, linuxLatencyAdvice);
}

QString comPortsReport(const QList<SerialDevice>& ports) {
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto number = [](const SerialDevice& port) {
        const QRegularExpressionMatch match = comName.match(port.name);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    const auto row = [](const SerialDevice& port) {
        const QString location = port.location.isEmpty() ? QStringLiteral("-") : port.location;
        return QStringList{port.name.toUpper(), location, QStringLiteral("present"), details(port)};
    };
    QList<QStringList> rows;
    for (int n = 1; n <= ComPorts; ++n) {
        const auto found = std::find_if(ports.begin(), ports.end(), [&](const SerialDevice& port) {
            return number(port) == n;
        });
        rows << (found != ports.end()
                     ? row(*found)
                     : QStringList{QStringLiteral("COM%1").arg(n), QStringLiteral("-"),
                                   QStringLiteral("missing")});
    }
    // Past the menu's reach: higher numbers in order, then names without one.
    const auto rank = [&](const SerialDevice& port) {
        return number(port) == 0 ? std::numeric_limits<int>::max() : number(port);
    };
    QList<SerialDevice> beyond;
    std::copy_if(ports.begin(), ports.end(), std::back_inserter(beyond),
                 [&](const SerialDevice& port) { return rank(port) > ComPorts; });
    std::stable_sort(
        beyond.begin(), beyond.end(),
        [&](const SerialDevice& a, const SerialDevice& b) { return rank(a) < rank(b); });
    for (const SerialDevice& port : beyond) {
        rows << row(port);
    }
    QString text = QStringLiteral("COM numbers are the system's own:\n") + textColumns(rows);
    if (!beyond.isEmpty()) {
        text += QStringLiteral("The window's ComPort menu offers COM1 to COM16 (brevane-cli "
                               "--port up to 256). To give an adapter a lower number:\n"
                               "Device Manager > the port > Port Settings > Advanced > COM Port "
                               "Number.\n");
    }
    return text + latencyAdvices(ports, windowsLatencyAdvice);
}

QString linuxLatencyAdvice(const SerialDevice& device) {
    if (device.latencyTimerMs <= PromptLatencyMs) {
        return {};
    }
    QString match;
    if (!device.serialNumber.isEmpty()) {
        match = QStringLiteral("ATTRS{serial}==\"%1\", ").arg(device.serialNumber);
    } else if (!device.usbId.isEmpty()) {
        match = QStringLiteral("ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", ")
                    .arg(device.usbId.section(QLatin1Char(':'), 0, 0),
                         device.usbId.section(QLatin1Char(':'), 1, 1));
    }
    return QStringLiteral(
               "%1 holds what it receives for up to %2 ms (its latency timer). Orvik Brevane\n"
               "asks its driver for 1 ms while it uses the port. For other programs, this udev "
               "rule\nsets 1 ms whenever the adapter is plugged in:\n"
               "    echo 'ACTION==\"add\", SUBSYSTEM==\"usb-serial\", %3"
               "ATTR{latency_timer}=\"1\"' | sudo tee /etc/udev/rules.d/99-serial-latency.rules\n")
        .arg(device.location)
        .arg(device.latencyTimerMs)
        .arg(match);
}

QString windowsLatencyAdvice(const SerialDevice& device) {
    if (device.latencyTimerMs <= PromptLatencyMs) {
        return {};
    }
    return QStringLiteral("%1 holds what it receives for up to %2 ms (its latency timer). To "
                          "set 1 ms:\nDevice Manager > Ports (COM & LPT) > %1 > Properties > "
                          "Port Settings > Advanced >\nLatency Timer (msec): 1, then OK.\n")
        .arg(device.name.toUpper())
        .arg(device.latencyTimerMs);
}
