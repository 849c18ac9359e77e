// The serial port off Windows, through Qt Serial Port.

#include "platform/serialport.h"

#include <QFileInfo>
#include <QSerialPort>

#include "platform/folders.h"
#include "platform/linesettings.h"
#include "platform/lowlatency.h"

#ifdef Q_OS_LINUX
#include <cerrno>
#include <cstring>
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// The driver's flag through TIOCGSERIAL and TIOCSSERIAL, which an ordinary user may call
// for it. A pseudo-terminal, or a driver without the calls, refuses.
class DriverLowLatencyFlag final : public LowLatencyFlag {
public:
    explicit DriverLowLatencyFlag(int fd) : m_fd(fd) {}

    bool read(bool& on, QString& why) override {
        serial_struct info{};
        if (!get(info, why)) {
            return false;
        }
        on = (info.flags & ASYNC_LOW_LATENCY) != 0;
        return true;
    }
    bool write(bool on, QString& why) override {
        serial_struct info{};
        if (!get(info, why)) {
            return false;
        }
        constexpr int Flag = ASYNC_LOW_LATENCY;
        info.flags = on ? info.flags | Flag : info.flags & ~Flag;
        if (::ioctl(m_fd, TIOCSSERIAL, &info) != 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }

private:
    bool get(serial_struct& info, QString& why) const {
        if (::ioctl(m_fd, TIOCGSERIAL, &info) != 0) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        return true;
    }

    int m_fd;
};
#else
class DriverLowLatencyFlag final : public LowLatencyFlag {
public:
    explicit DriverLowLatencyFlag(int) {}
    bool read(bool&, QString& why) override { return refuse(why); }
    bool write(bool, QString& why) override { return refuse(why); }

private:
    static bool refuse(QString& why) {
        why = QStringLiteral("this system has no low-latency flag");
        return false;
    }
};
#endif

class QtSerialPort final : public SerialPort {
public:
    QtSerialPort() = default;
    ~QtSerialPort() override { close(); }
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    bool open(int portNumber) override;
    QString openNote() const override { return m_lowLatency.refusal(); }
    OpenFailure openFailure() const override;
    void close() override;
    bool isOpen() const override;
    bool write(const QByteArray& bytes) override;
    qint64 bytesWaiting() override;
    QByteArray takeAll() override;
    void discardInput() override;
    bool waitForMore(int ms, qint64 missing) override;
    bool failed() const override;

private:
    // Moves what the driver holds into Qt's buffer without waiting.
    void pullWaiting();
    // Time-outs are expected; any other error means the line is gone.
    void noteError();

    QSerialPort m_port;
    bool m_failed = false;
    OpenFailure m_openFailure;
    LowLatencyRequest m_lowLatency;
};

// A write of the longest frame takes under 40 ms at 38400 baud; far longer means the
// line is stuck.
constexpr int WriteTimeoutMs = 2000;

// Qt reports a device held by another program (its lock file, or a busy device) and one
// the user may not open alike; the device's own permissions tell them apart.
OpenFailure openFailureOf(const QSerialPort& port, const QString& path) {
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return {OpenFailure::NoSuchPort, port.errorString()};
    case QSerialPort::PermissionError: {
        const QFileInfo device(path);
        const bool allowed = device.isReadable() && device.isWritable();
        return {allowed ? OpenFailure::InUse : OpenFailure::NoPermission, port.errorString()};
    }
    default:
        return {OpenFailure::Other, port.errorString()};
    }
}

void configure(QSerialPort& port, const LineSettings& line) {
    port.setBaudRate(line.baudRate);
    port.setDataBits(QSerialPort::DataBits(line.dataBits));
    switch (line.parity) {
    case LineSettings::Parity::None:
        port.setParity(QSerialPort::NoParity);
        break;
    case LineSettings::Parity::Even:
        port.setParity(QSerialPort::EvenParity);
        break;
    case LineSettings::Parity::Odd:
        port.setParity(QSerialPort::OddParity);
        break;
    }
    port.setStopBits(line.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    switch (line.flowControl) {
    case LineSettings::FlowControl::None:
        port.setFlowControl(QSerialPort::NoFlowControl);
        break;
    case LineSettings::FlowControl::Hardware:
        port.setFlowControl(QSerialPort::HardwareControl);
        break;
    case LineSettings::FlowControl::Software:
        port.setFlowControl(QSerialPort::SoftwareControl);
        break;
    }
}

bool QtSerialPort::open(int portNumber) {
    close();
    m_failed = false;
    m_openFailure = {};
    const QString path = systemPortPath(portNumber);
    m_port.setPortName(path);
    configure(m_port, ControllerLine);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_openFailure = openFailureOf(m_port, path);
        m_port.clearError();
        return false;
    }
    // A pseudo-terminal and some adapters have no RTS line; the port is usable anyway.
    if (ControllerLine.raiseRts) {
        m_port.setRequestToSend(true);
    }
    // An adapter that holds replies for its latency timer slows every exchange.
    DriverLowLatencyFlag flag(int(m_port.handle()));
    m_lowLatency.ask(flag);
    m_port.clearError();
    return true;
}

OpenFailure QtSerialPort::openFailure() const {
    return m_openFailure;
}

void QtSerialPort::close() {
    if (m_port.isOpen()) {
        DriverLowLatencyFlag flag(int(m_port.handle()));
        m_lowLatency.putBack(flag);
        m_port.close();
    }
    m_port.clearError();
}

bool QtSerialPort::isOpen() const {
    return m_port.isOpen();
}

bool QtSerialPort::write(const QByteArray& bytes) {
    if (m_failed || !m_port.isOpen()) {
        return false;
    }
    if (m_port.write(bytes) != bytes.size()) {
        m_failed = true;
        return false;
    }
    while (m_port.bytesToWrite() > 0) {
        if (!m_port.waitForBytesWritten(WriteTimeoutMs)) {
            m_failed = true;
            return false;
        }
    }
    return true;
}

qint64 QtSerialPort::bytesWaiting() {
    pullWaiting();
    return m_port.bytesAvailable();
}

QByteArray QtSerialPort::takeAll() {
    if (!m_port.isOpen()) {
        return {};
    }
    pullWaiting();
    return m_port.readAll();
}

void QtSerialPort::discardInput() {
    if (!m_port.isOpen()) {
        return;
    }
    m_port.readAll();
    m_port.clear(QSerialPort::Input);
}

// Qt hands over whatever came as it comes; the count changes nothing here.
bool QtSerialPort::waitForMore(int ms, qint64 /*missing*/) {
    if (m_failed || !m_port.isOpen()) {
        return false;
    }
    if (m_port.waitForReadyRead(qMax(ms, 0))) {
        return true;
    }
    noteError();
    return false;
}

bool QtSerialPort::failed() const {
    return m_failed;
}

void QtSerialPort::pullWaiting() {
    if (m_failed || !m_port.isOpen()) {
        return;
    }
    while (m_port.waitForReadyRead(0)) {
    }
    noteError();
}

void QtSerialPort::noteError() {
    const QSerialPort::SerialPortError error = m_port.error();
    if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
        m_failed = true;
    }
    m_port.clearError();
}

} // namespace

QString systemPortPath(int portNumber) {
    const QString folder = portsFolder();
    return portPath(portNumber, folder, folderExists(folder));
}

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return std::make_unique<QtSerialPort>();
}
