#pragma once

#include <QList>
#include <QString>

// brevane-cli ping: the controller's checksum request, again and again, and what the round
// trips tell an installer about the line.

// One request's outcome.
struct PingResult {
    enum Kind {
        Answered,      // a good reply; roundTripMs holds
        NoReply,       // nothing within the time-out
        CutShort,      // part of a reply, or one garbled
        WrongChecksum, // a whole reply whose frame checksum does not hold
    };
    Kind kind = NoReply;
    double roundTripMs = 0;
};

// A run as it went: the port, why it did not open (empty: it did), each request's outcome,
// and how to lower the adapter's latency timer on this system.
struct PingRun {
    QString port;        // "COM4 (/dev/ttyS3)"
    QString openFailure; // "COM4 (/dev/ttyS3): no such port"
    QList<PingResult> results;
    QString lowerLatency; // lines, each ending in a line break
};

// What ping prints and its exit status.
struct PingReport {
    int status = 0; // 0 every request answered well, 3 the port did not open, 52 otherwise
    QString out;
    QString err;
};

// The line's own time for the request and its reply, at the line's speed.
double pingLineMs();
// The run's first line, and each request's, as they come.
QString pingHeader(const QString& port, int count);
QString pingLine(int number, const PingResult& result);
// The reading of the results: what follows the requests' lines; its exit status too.
PingReport pingSummary(const PingRun& run);
// A line per request, min / median / max against the line's own time, then the reading of
// it: a good line; an adapter that holds replies (and what a Download then takes); or
// which requests went unanswered and what to check.
PingReport pingReport(const PingRun& run);
