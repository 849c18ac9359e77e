#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "platform/clock.h"

// Why a port did not open, as the system told it.
struct OpenFailure {
    enum Reason {
        None,         // it opened, or no open was tried
        InUse,        // another program holds it
        NoSuchPort,   // nothing answers to that name
        NoPermission, // the user may not open the device
        Other,        // systemText says why
    };
    Reason reason = None;
    QString systemText; // the system's own words
};

// The reason in the user's words; for Other, the system's text.
QString openFailureText(const OpenFailure& failure);

// The serial line to the controller, as narrow as the exchange needs it. Used without
// an event loop: every wait blocks on the line.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens port n (1-256) as ControllerLine sets it (linesettings.h), with RTS raised where
    // the line can raise it. False when the port cannot be opened; openFailure() says why.
    virtual bool open(int portNumber) = 0;
    // Why the last open() failed (None after one that worked).
    virtual OpenFailure openFailure() const = 0;
    // What the last open() that worked could not arrange beyond the port itself, in words
    // for a trace ("low latency not granted: ..."); empty when nothing.
    virtual QString openNote() const { return {}; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes the bytes as given, nothing added. False when the line refused them.
    virtual bool write(const QByteArray& bytes) = 0;
    // Received bytes not yet taken.
    virtual qint64 bytesWaiting() = 0;
    // Hands over and removes every received byte.
    virtual QByteArray takeAll() = 0;
    // Drops every received byte, including what the driver still holds.
    virtual void discardInput() = 0;
    // Blocks up to ms for more bytes to arrive; missing is how many more the caller awaits,
    // so a backend whose reads end on a count can end the wait as they come. False on
    // time-out or when the line broke.
    virtual bool waitForMore(int ms, qint64 missing) = 0;
    // The line broke after opening (adapter unplugged, a write failed).
    virtual bool failed() const = 0;
};

// The highest port number brevane-cli takes: Windows numbers adapters up to COM256.
constexpr int MaxPortNumber = 256;

// One blocking read of a serial driver, and a pause: all the sliced wait below needs, so
// that it runs on a fake driver in tests.
class SerialDriver {
public:
    virtual ~SerialDriver() = default;
    // Appends what arrives within ms, returning once count bytes have come (ms 0: only
    // what is there); a driver may instead wait out the whole ms, or return empty long
    // before it. False when the line failed.
    virtual bool read(int ms, qint64 count, QByteArray& into) = 0;
    virtual void pause(int ms) = 0;
};

// The longest single read: a driver that ignores the pause after the last byte still
// hands a reply over this soon.
constexpr int ReadSliceMs = 50;

enum class WaitResult { Arrived, TimedOut, Failed };

// Blocks up to ms (on clock, which it restarts) for bytes to arrive into buffer, one read
// of at most a slice at a time, each asking for the missing bytes. A read that comes back
// empty before its slice is up is followed by a pause for the rest of it, so a driver that
// does so is never polled hot.
WaitResult waitInSlices(SerialDriver& driver, TimeoutClock& clock, int ms, qint64 missing,
                        QByteArray& buffer);

// The device behind port n where the system has no COM numbers of its own: the entry
// "COMn" of the ports folder when that folder exists (the user links it to the real
// device), else /dev/ttyS<n-1>.
QString portPath(int portNumber, const QString& portsFolder, bool portsFolderExists);
// "~/Orvik Tessaly Net/ports" (unused on Windows).
QString portsFolder();
// The device behind port n on this machine as it is now: "COMn" on Windows, else portPath()
// (each backend says which).
QString systemPortPath(int portNumber);

// The system's own serial port: the Win32 communications API on Windows, Qt Serial Port
// elsewhere (the backend is chosen in platform/CMakeLists.txt).
std::unique_ptr<SerialPort> makeSystemSerialPort();
