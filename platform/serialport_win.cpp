// The serial port on Windows, on the Win32 communications API.

#include "platform/serialport.h"

#include <QThread>
#include <string>
#include <utility>

#include <windows.h>

#include "platform/linesettings.h"

namespace {

// A write of the longest frame takes under 40 ms at 38400 baud; far longer means the
// line is stuck.
constexpr DWORD WriteTimeoutMs = 2000;

HANDLE handleOf(void* handle) {
    return handle == nullptr ? INVALID_HANDLE_VALUE : static_cast<HANDLE>(handle);
}

// The port's reads with their time-outs, and pauses, for waitInSlices().
class CommDriver final : public SerialDriver {
public:
    explicit CommDriver(HANDLE handle) : m_handle(handle) {}

    // Blocks in the driver until count bytes have come or ms has passed (ms 0: only what
    // is there). A read that ends on its count ends with the reply's last byte, whatever
    // the system tick: an interval time-out would wait for a tick after it.
    bool read(int ms, qint64 count, QByteArray& into) override {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = ms > 0 ? 0 : MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = ms > 0 ? DWORD(ms) : 0;
        timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
        char chunk[512];
        DWORD wanted = ms > 0 ? DWORD(qBound<qint64>(1, count, sizeof(chunk))) : sizeof(chunk);
        DWORD got = 0;
        if (SetCommTimeouts(m_handle, &timeouts) == 0 ||
            ReadFile(m_handle, chunk, wanted, &got, nullptr) == 0) {
            return false;
        }
        into.append(chunk, qsizetype(got));
        // What came with the last byte and after it, without waiting again.
        while (got == wanted) {
            wanted = sizeof(chunk);
            timeouts.ReadIntervalTimeout = MAXDWORD;
            timeouts.ReadTotalTimeoutConstant = 0;
            if (SetCommTimeouts(m_handle, &timeouts) == 0 ||
                ReadFile(m_handle, chunk, sizeof(chunk), &got, nullptr) == 0) {
                return false;
            }
            into.append(chunk, qsizetype(got));
        }
        return true;
    }
    void pause(int ms) override { QThread::msleep(ulong(ms)); }

private:
    HANDLE m_handle;
};

class WinSerialPort final : public SerialPort {
public:
    WinSerialPort() = default;
    ~WinSerialPort() override;
    WinSerialPort(const WinSerialPort&) = delete;
    WinSerialPort& operator=(const WinSerialPort&) = delete;

    bool open(int portNumber) override;
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
    // Bytes the driver holds; -1 when the line is gone.
    qint64 driverWaiting();
    // Fails the open: the handle (when given) is closed, and why is kept.
    bool refuseOpen(void* handle, unsigned long systemError);

    void* m_handle = nullptr; // the port's HANDLE
    QByteArray m_buffer;      // read from the driver, not yet taken
    bool m_failed = false;
    OpenFailure m_openFailure;
    SteadyClock m_waitClock;
};

// The line's settings in the driver's terms; every other field as the port had it.
void configure(DCB& dcb, const LineSettings& line) {
    dcb.BaudRate = DWORD(line.baudRate);
    dcb.ByteSize = BYTE(line.dataBits);
    switch (line.parity) {
    case LineSettings::Parity::None:
        dcb.Parity = NOPARITY;
        break;
    case LineSettings::Parity::Even:
        dcb.Parity = EVENPARITY;
        break;
    case LineSettings::Parity::Odd:
        dcb.Parity = ODDPARITY;
        break;
    }
    dcb.fParity = line.parity == LineSettings::Parity::None ? FALSE : TRUE;
    dcb.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    const bool hardware = line.flowControl == LineSettings::FlowControl::Hardware;
    const bool software = line.flowControl == LineSettings::FlowControl::Software;
    dcb.fOutxCtsFlow = hardware ? TRUE : FALSE;
    dcb.fOutX = software ? TRUE : FALSE;
    dcb.fInX = software ? TRUE : FALSE;
    dcb.fRtsControl = hardware        ? RTS_CONTROL_HANDSHAKE
                      : line.raiseRts ? RTS_CONTROL_ENABLE
                                      : RTS_CONTROL_DISABLE;
}

WinSerialPort::~WinSerialPort() {
    close();
}

bool WinSerialPort::open(int portNumber) {
    close();
    m_failed = false;
    m_openFailure = {};
    // The \\.\ form reaches COM10 and above as well.
    const std::wstring name = L"\\\\.\\" + systemPortPath(portNumber).toStdWString();
    const HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return refuseOpen(nullptr, GetLastError());
    }
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    bool ready = GetCommState(handle, &dcb) != 0;
    if (ready) {
        configure(dcb, ControllerLine);
        dcb.fBinary = TRUE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        // Whatever last used the port may have left others; equal ones are refused.
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        ready = SetCommState(handle, &dcb) != 0;
    }
    // Reads return what is there at once; waitForMore() sets its own time-out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (!ready || SetCommTimeouts(handle, &timeouts) == 0) {
        return refuseOpen(handle, GetLastError());
    }
    // A pseudo-terminal behind an emulated port and some adapters have no RTS line; the
    // port is usable anyway.
    if (ControllerLine.raiseRts) {
        EscapeCommFunction(handle, SETRTS);
    }
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    m_handle = handle;
    return true;
}

OpenFailure WinSerialPort::openFailure() const {
    return m_openFailure;
}

bool WinSerialPort::refuseOpen(void* handle, unsigned long systemError) {
    if (handle != nullptr) {
        CloseHandle(handleOf(handle));
    }
    OpenFailure::Reason reason = OpenFailure::Other;
    switch (systemError) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        reason = OpenFailure::InUse;
        break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        reason = OpenFailure::NoSuchPort;
        break;
    default:
        break;
    }
    m_openFailure = {reason, qt_error_string(int(systemError))};
    return false;
}

void WinSerialPort::close() {
    if (m_handle != nullptr) {
        CloseHandle(handleOf(m_handle));
        m_handle = nullptr;
    }
    m_buffer.clear();
}

bool WinSerialPort::isOpen() const {
    return m_handle != nullptr;
}

bool WinSerialPort::write(const QByteArray& bytes) {
    if (m_failed || !isOpen()) {
        return false;
    }
    DWORD written = 0;
    if (WriteFile(handleOf(m_handle), bytes.constData(), DWORD(bytes.size()), &written, nullptr) ==
            0 ||
        written != DWORD(bytes.size())) {
        m_failed = true;
        return false;
    }
    return true;
}

qint64 WinSerialPort::bytesWaiting() {
    const qint64 driver = driverWaiting();
    return m_buffer.size() + qMax<qint64>(driver, 0);
}

QByteArray WinSerialPort::takeAll() {
    if (!m_failed && isOpen() && !CommDriver(handleOf(m_handle)).read(0, 0, m_buffer)) {
        m_failed = true;
    }
    return std::exchange(m_buffer, {});
}

void WinSerialPort::discardInput() {
    m_buffer.clear();
    if (isOpen()) {
        PurgeComm(handleOf(m_handle), PURGE_RXCLEAR);
    }
}

bool WinSerialPort::waitForMore(int ms, qint64 missing) {
    if (m_failed || !isOpen()) {
        return false;
    }
    CommDriver driver(handleOf(m_handle));
    const WaitResult result = waitInSlices(driver, m_waitClock, qMax(ms, 1), missing, m_buffer);
    m_failed = result == WaitResult::Failed;
    return result == WaitResult::Arrived;
}

bool WinSerialPort::failed() const {
    return m_failed;
}

qint64 WinSerialPort::driverWaiting() {
    if (m_failed || !isOpen()) {
        return 0;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(handleOf(m_handle), &errors, &status) == 0) {
        m_failed = true;
        return -1;
    }
    return status.cbInQue;
}

} // namespace

QString systemPortPath(int portNumber) {
    return QStringLiteral("COM%1").arg(portNumber);
}

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return std::make_unique<WinSerialPort>();
}
