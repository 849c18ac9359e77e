#include "platform/serialport.h"

#include <QDir>

#include "platform/folders.h"

QString portPath(int portNumber, const QString& portsFolder, bool portsFolderExists) {
    if (portsFolderExists) {
        return portsFolder + QStringLiteral("/COM%1").arg(portNumber);
    }
    return QStringLiteral("/dev/ttyS%1").arg(portNumber - 1);
}

QString portsFolder() {
    return workingRoot() + QStringLiteral("/ports");
}

QString openFailureText(const OpenFailure& failure) {
    switch (failure.reason) {
    case OpenFailure::InUse:
        return QStringLiteral("in use by another program");
    case OpenFailure::NoSuchPort:
        return QStringLiteral("no such port");
    case OpenFailure::NoPermission:
        return QStringLiteral("permission denied: add yourself to the dialout group (sudo "
                              "usermod -aG dialout $USER, then log in again)");
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return failure.systemText;
}

WaitResult waitInSlices(SerialDriver& driver, TimeoutClock& clock, int ms, qint64 missing,
                        QByteArray& buffer) {
    clock.restart();
    for (;;) {
        const qint64 started = clock.elapsedMs();
        const qint64 left = ms - started;
        if (left <= 0) {
            return WaitResult::TimedOut;
        }
        const int slice = int(qMin<qint64>(left, ReadSliceMs));
        const qsizetype before = buffer.size();
        if (!driver.read(slice, qMax<qint64>(missing, 1), buffer)) {
            return WaitResult::Failed;
        }
        if (buffer.size() > before) {
            return WaitResult::Arrived;
        }
        const qint64 early = slice - (clock.elapsedMs() - started);
        if (early > 0) {
            driver.pause(int(early));
        }
    }
}
