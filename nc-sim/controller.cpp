#include "nc-sim/controller.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <utility>

#include "platform/linesettings.h"
#include "table/hextext.h"

namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 10> FaultNames{{
    {FaultKind::Silent, "silent"},
    {FaultKind::BadSum, "badsum"},
    {FaultKind::Short, "short"},
    {FaultKind::Extra, "extra"},
    {FaultKind::Lower, "lower"},
    {FaultKind::High, "high"},
    {FaultKind::Low, "low"},
    {FaultKind::Junk, "junk"},
    {FaultKind::Stale, "stale"},
    {FaultKind::Hangup, "hangup"},
}};

// Stale bytes wait at least this long after the reply's last character.
constexpr std::chrono::milliseconds StaleGap{1};

} // namespace

std::optional<Fault> parseFault(QStringView text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<Fault> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    const qsizetype at = text.indexOf(u'@');
    const QStringView name = at < 0 ? text : text.left(at);
    const auto known = std::find_if(FaultNames.begin(), FaultNames.end(), [&](const auto& entry) {
        return name.compare(QLatin1StringView(entry.second), Qt::CaseInsensitive) == 0;
    });
    if (known == FaultNames.end()) {
        QStringList names;
        for (const auto& entry : FaultNames) {
            names << QLatin1StringView(entry.second);
        }
        return fail(QStringLiteral("unknown fault '%1' (one of %2, optionally @N)")
                        .arg(name, names.join(QStringLiteral(", "))));
    }
    Fault fault{known->first, 0};
    if (at >= 0) {
        bool ok = false;
        fault.frame = text.sliced(at + 1).toInt(&ok);
        if (!ok || fault.frame < 1) {
            return fail(QStringLiteral("'%1': the frame number after @ must be 1 or more")
                            .arg(text.toString()));
        }
    }
    return fault;
}

QString faultName(FaultKind kind) {
    for (const auto& entry : FaultNames) {
        if (entry.first == kind) {
            return QLatin1StringView(entry.second);
        }
    }
    return {};
}

Controller::Controller(std::vector<Fault> faults) : m_faults(std::move(faults)) {}

bool Controller::faultApplies(FaultKind kind) const {
    return std::any_of(m_faults.begin(), m_faults.end(), [&](const Fault& fault) {
        return fault.kind == kind && (fault.frame == 0 || fault.frame == m_frames);
    });
}

void Controller::discard(std::vector<Received>& out, QByteArray& bytes) {
    if (!bytes.isEmpty()) {
        Received thrown;
        thrown.bytes = std::exchange(bytes, {});
        out.push_back(std::move(thrown));
    }
}

std::vector<Received> Controller::feed(QByteArrayView bytes) {
    std::vector<Received> out;
    QByteArray thrown;
    for (const char c : bytes) {
        if (c == '[') {
            thrown += std::exchange(m_partial, QByteArray(1, '['));
            m_inFrame = true;
        } else if (!m_inFrame) {
            thrown += c;
        } else if (c == ']') {
            m_partial += c;
            m_inFrame = false;
            discard(out, thrown);
            out.push_back(handleFrame(std::exchange(m_partial, {})));
            if (out.back().hangup) {
                return out; // the rest went down with the line
            }
        } else {
            m_partial += c;
            if (m_partial.size() >= MaxFrameLength) {
                thrown += std::exchange(m_partial, {});
                m_inFrame = false;
            }
        }
    }
    discard(out, thrown);
    return out;
}

Received Controller::handleFrame(const QByteArray& frame) {
    ++m_frames;
    Received r;
    r.bytes = frame;
    r.frame = m_frames;
    if (faultApplies(FaultKind::Hangup)) {
        r.hangup = true;
        r.note = QStringLiteral("hangup");
        return r;
    }
    const ReceivedCommand command = parseCommandFrame(frame);
    if (command.problem == ReceivedCommand::Problem::BadChecksum) {
        r.note = QStringLiteral("ignored: wrong checksum");
        return r;
    }
    if (command.problem == ReceivedCommand::Problem::UnknownCommand) {
        r.note = QStringLiteral("ignored: unknown command");
        return r;
    }
    QStringList applied;
    const QByteArray body = answer(command, r, applied);
    if (faultApplies(FaultKind::Silent)) {
        applied << faultName(FaultKind::Silent);
    } else {
        shapeReply(body, r, applied);
    }
    r.note = applied.join(QStringLiteral(", "));
    return r;
}

QByteArray Controller::answer(const ReceivedCommand& command, Received& r, QStringList& applied) {
    switch (command.kind) {
    case ReceivedCommand::Kind::BlockWrite:
        std::copy_n(command.data.cbegin(), BlockBytes,
                    m_image.begin() + std::ptrdiff_t{command.block} * BlockBytes);
        r.imageChanged = true;
        return "00";
    case ReceivedCommand::Kind::BlockRead:
        return blockHex(m_image, command.block);
    case ReceivedCommand::Kind::ChecksumRequest:
        break;
    }
    const std::uint32_t sum = ImageChecksum(m_image);
    auto high = static_cast<std::int32_t>(sum >> 16U);
    auto low = static_cast<std::int32_t>(sum & 0xFFFFU);
    if (faultApplies(FaultKind::High)) {
        high ^= 0xFFFF;
        applied << faultName(FaultKind::High);
    }
    if (faultApplies(FaultKind::Low)) {
        low ^= 0xFFFF;
        applied << faultName(FaultKind::Low);
    }
    return Hex4(high) + Hex4(low);
}

void Controller::shapeReply(const QByteArray& body, Received& r, QStringList& applied) const {
    const bool lower = faultApplies(FaultKind::Lower);
    const bool badSum = faultApplies(FaultKind::BadSum);
    if (!lower && !badSum) {
        r.reply = replyFrame(body);
    } else {
        const QByteArray rest = (lower ? body.toLower() : body) + ']';
        const std::uint8_t sum = FrameChecksum(rest) + (badSum ? 1 : 0);
        const QByteArray digits = lower ? Hex2(sum).toLower() : Hex2(sum);
        r.reply = '[' + digits + rest;
        applied << faultName(lower ? FaultKind::Lower : FaultKind::BadSum);
        if (lower && badSum) {
            applied << faultName(FaultKind::BadSum);
        }
    }
    if (faultApplies(FaultKind::Short)) {
        r.reply.chop(1);
        applied << faultName(FaultKind::Short);
    }
    if (faultApplies(FaultKind::Junk)) {
        r.before = JunkBytes;
        applied << faultName(FaultKind::Junk);
    }
    if (faultApplies(FaultKind::Extra)) {
        r.after = ExtraBytes;
        applied << faultName(FaultKind::Extra);
    }
    if (faultApplies(FaultKind::Stale)) {
        r.stale = StaleBytes;
        applied << faultName(FaultKind::Stale);
    }
}

std::chrono::nanoseconds wireTime(qsizetype characters) {
    return ControllerLine.wireTime(characters);
}

std::vector<LinePiece> replyPieces(const Received& received, bool paced,
                                   std::chrono::steady_clock::time_point arrived,
                                   std::chrono::steady_clock::time_point lineFree) {
    std::vector<LinePiece> pieces;
    if (received.reply.isEmpty()) {
        return pieces;
    }
    const QString number = QString::number(received.frame);
    QString logLine =
        QStringLiteral("out #%1 %2")
            .arg(number, printableBytes(received.before + received.reply + received.after));
    if (!received.note.isEmpty()) {
        logLine += QStringLiteral("  (%1)").arg(received.note);
    }
    auto end = arrived;
    if (!paced) {
        pieces.push_back(
            {arrived, received.before + received.reply + received.after, false, logLine});
    } else {
        const auto start = std::max(arrived + wireTime(received.bytes.size()), lineFree);
        const qsizetype m = received.reply.size();
        for (qsizetype k = 0; k < m; ++k) {
            LinePiece piece{start + wireTime(k + 1), received.reply.sliced(k, 1), false, {}};
            if (k == 0) {
                piece.bytes.prepend(received.before);
            }
            if (k == m - 1) {
                piece.bytes += received.after;
                piece.logLine = logLine;
            }
            pieces.push_back(std::move(piece));
        }
        end = pieces.back().due;
    }
    if (!received.stale.isEmpty()) {
        pieces.push_back(
            {end + StaleGap, received.stale, true,
             QStringLiteral("out #%1 %2  (stale)").arg(number, printableBytes(received.stale))});
    }
    return pieces;
}
