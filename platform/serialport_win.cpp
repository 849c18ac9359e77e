#include "platform/serialport.h"

#include <string>
#include <utility>

#include <windows.h>

namespace {

// A write of the longest frame takes under 40 ms at 38400 baud; far longer means the
// line is stuck.
constexpr DWORD WriteTimeoutMs = 2000;

HANDLE handleOf(void* handle) {
    return handle == nullptr ? INVALID_HANDLE_VALUE : static_cast<HANDLE>(handle);
}

} // namespace

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
        dcb.BaudRate = CBR_38400;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        dcb.fBinary = TRUE;
        dcb.fParity = FALSE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fAbortOnError = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
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
    EscapeCommFunction(handle, SETRTS);
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
    readInto(0);
    return std::exchange(m_buffer, {});
}

void WinSerialPort::discardInput() {
    m_buffer.clear();
    if (isOpen()) {
        PurgeComm(handleOf(m_handle), PURGE_RXCLEAR);
    }
}

bool WinSerialPort::waitForMore(int ms) {
    if (m_failed || !isOpen()) {
        return false;
    }
    const qsizetype before = m_buffer.size();
    return readInto(qMax(ms, 1)) && m_buffer.size() > before;
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

bool WinSerialPort::readInto(int ms) {
    if (m_failed || !isOpen()) {
        return false;
    }
    const HANDLE handle = handleOf(m_handle);
    // The read blocks in the driver until the first byte comes, then returns once the line
    // pauses for a millisecond: no spinning. (The MAXDWORD form that returns at the first
    // byte is not honoured by Wine, which then waits out the whole time-out.)
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = ms > 0 ? 1 : MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = ms > 0 ? DWORD(ms) : 0;
    timeouts.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (SetCommTimeouts(handle, &timeouts) == 0) {
        m_failed = true;
        return false;
    }
    char chunk[512];
    DWORD got = 0;
    if (ReadFile(handle, chunk, sizeof(chunk), &got, nullptr) == 0) {
        m_failed = true;
        return false;
    }
    m_buffer.append(chunk, qsizetype(got));
    // What came with the first byte and after it, without waiting again.
    while (got == sizeof(chunk)) {
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = 0;
        if (SetCommTimeouts(handle, &timeouts) == 0 ||
            ReadFile(handle, chunk, sizeof(chunk), &got, nullptr) == 0) {
            m_failed = true;
            return false;
        }
        m_buffer.append(chunk, qsizetype(got));
    }
    return true;
}
