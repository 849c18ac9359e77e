#include "cli/ping.h"

#include <QStringList>
#include <algorithm>
#include <chrono>

#include "link/protocol.h"
#include "link/transfer.h"
#include "platform/linesettings.h"

namespace {

// Beyond the line's own time, a reply this late is held by something on the way.
constexpr double HeldMs = 5.0;
// Replies a Download waits for: one per block and the checksum's.
constexpr int DownloadReplies = ImageBlocks + 1;

double lineMs(qsizetype characters) {
    return std::chrono::duration<double, std::milli>(ControllerLine.wireTime(characters)).count();
}

QString ms(double value) {
    return QString::number(value, 'f', 1) + QStringLiteral(" ms");
}

QString outcomeText(const PingResult& result) {
    switch (result.kind) {
    case PingResult::Answered:
        return ms(result.roundTripMs);
    case PingResult::NoReply:
        return QStringLiteral("no reply");
    case PingResult::CutShort:
        return QStringLiteral("cut short or garbled");
    case PingResult::WrongChecksum:
        return QStringLiteral("wrong checksum");
    }
    return {};
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// How long replies are held, and what that costs a Download.
QString heldText(double heldMs, const QString& lowerLatency) {
    const double floorS = lineMs(downloadCharacters()) / 1000.0;
    const double takesS = floorS + DownloadReplies * heldMs / 1000.0;
    return QStringLiteral("The adapter holds each reply about %1 beyond the line's own time: a "
                          "Download will take\nabout %2 s instead of %3 s.\n")
               .arg(ms(heldMs))
               .arg(takesS, 0, 'f', 2)
               .arg(floorS, 0, 'f', 2) +
           lowerLatency;
}

// Which requests got no good reply, and what to check for each kind of failure.
QString unansweredText(const QList<PingResult>& results, const QStringList& failed,
                       bool someAnswered) {
    const auto any = [&results](bool (*matches)(PingResult::Kind)) {
        return std::any_of(results.begin(), results.end(),
                           [matches](const PingResult& result) { return matches(result.kind); });
    };
    const bool noReply = any([](PingResult::Kind kind) { return kind == PingResult::NoReply; });
    const bool garbled = any([](PingResult::Kind kind) {
        return kind == PingResult::CutShort || kind == PingResult::WrongChecksum;
    });
    return (someAnswered ? QStringLiteral("%1 of %2 requests got no good reply: %3.\n")
                               .arg(failed.size())
                               .arg(results.size())
                               .arg(failed.join(QStringLiteral(", ")))
                         : QStringLiteral("No request got a good reply.\n")) +
           (noReply ? QStringLiteral("No reply: check the cable and its plugs, the NC's power, "
                                     "the COM number (a port with\nnothing behind it opens, "
                                     "then times out) and the adapter (unplugged, or its "
                                     "driver).\n")
                    : QString()) +
           (garbled ? QStringLiteral("Cut short, garbled or a wrong checksum: a noisy line (a "
                                     "long or unshielded cable, a\nloose plug).\n")
                    : QString());
}

} // namespace

double pingLineMs() {
    return lineMs(commandFrame(ChecksumCommand).size() + ChecksumReplyLength);
}

QString pingHeader(const QString& port, int count) {
    return QStringLiteral("Ping %1: the checksum request %2 times (nothing on the NC changes)\n")
        .arg(port)
        .arg(count);
}

QString pingLine(int number, const PingResult& result) {
    return QStringLiteral("%1  %2\n").arg(number, 3).arg(outcomeText(result));
}

PingReport pingSummary(const PingRun& run) {
    PingReport report;
    if (!run.openFailure.isEmpty()) {
        report.status = 3;
        report.err = QStringLiteral("Unable To Open Port\n%1\n").arg(run.openFailure);
        return report;
    }
    QList<double> roundTrips;
    QStringList failed;
    for (qsizetype k = 0; k < run.results.size(); ++k) {
        if (run.results[k].kind == PingResult::Answered) {
            roundTrips << run.results[k].roundTripMs;
        } else {
            failed << QString::number(k + 1);
        }
    }
    const double line = pingLineMs();
    QString verdict;
    if (!roundTrips.isEmpty()) {
        const double middle = median(roundTrips);
        report.out =
            QStringLiteral("min %1, median %2, max %3; the line's own time is %4\n")
                .arg(ms(*std::min_element(roundTrips.begin(), roundTrips.end())), ms(middle),
                     ms(*std::max_element(roundTrips.begin(), roundTrips.end())), ms(line));
        if (middle - line >= HeldMs) {
            verdict = heldText(middle - line, run.lowerLatency);
        } else if (failed.isEmpty()) {
            verdict = QStringLiteral("Every reply came promptly: the line is good.\n");
        }
    }
    if (!failed.isEmpty()) {
        report.status = ChecksumRequestFailed;
        verdict.prepend(unansweredText(run.results, failed, !roundTrips.isEmpty()));
    }
    report.out += QLatin1Char('\n') + verdict;
    return report;
}

PingReport pingReport(const PingRun& run) {
    PingReport report = pingSummary(run);
    if (run.openFailure.isEmpty()) {
        QString lines = pingHeader(run.port, int(run.results.size()));
        for (qsizetype k = 0; k < run.results.size(); ++k) {
            lines += pingLine(int(k + 1), run.results[k]);
        }
        report.out.prepend(lines);
    }
    return report;
}
