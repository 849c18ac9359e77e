#pragma once

#include <QString>

// The low-latency flag of an open serial port's driver: on it, a USB adapter's driver
// shortens how long the adapter holds received bytes (an FTDI adapter's latency timer
// goes to 1 ms). Where the system has no such flag, every call fails.
class LowLatencyFlag {
public:
    virtual ~LowLatencyFlag() = default;
    // Whether the flag is on; false (why set) when the driver tells nothing.
    virtual bool read(bool& on, QString& why) = 0;
    virtual bool write(bool on, QString& why) = 0;
};

// Asks a port's driver for low latency when it opens, and puts the flag back as it was
// when it closes. A driver that refuses changes nothing else: the port is used as it is.
class LowLatencyRequest {
public:
    // Asks for the flag; whether it is now on. Read back: a driver may take the request
    // and ignore it.
    bool ask(LowLatencyFlag& flag);
    // Puts back what ask() changed.
    void putBack(LowLatencyFlag& flag);
    // Why the last ask() was not granted: "low latency not granted: ..."; else empty.
    QString refusal() const { return m_refusal; }

private:
    bool m_changed = false;
    QString m_refusal;
};
