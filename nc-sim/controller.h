#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <chrono>
#include <optional>
#include <vector>

#include "link/protocol.h"

// The controller stand-in's protocol side, free of any I/O: it takes the bytes the line
// delivers and says what goes back, so it can be driven with plain byte strings.

enum class FaultKind { Silent, BadSum, Short, Extra, Lower, High, Low, Junk, Stale, Hangup };

struct Fault {
    FaultKind kind = FaultKind::Silent;
    int frame = 0; // 1-based frame it applies to; 0: every frame
};

// "KIND" or "KIND@N" (N from 1). On failure returns nothing and sets error.
std::optional<Fault> parseFault(QStringView text, QString* error = nullptr);
QString faultName(FaultKind kind);

// Bytes the faults add around a reply.
inline constexpr char JunkBytes[] = "\xF0\x7F?~"; // sent right before a reply
inline constexpr char ExtraBytes[] = "~~";        // sent right after it
inline constexpr char StaleBytes[] = "?\xF0~";    // left on the line after it

// What one stretch of input came to: a whole frame, or bytes thrown away.
struct Received {
    QByteArray bytes;    // the frame from "[" to "]", or the discarded input
    int frame = 0;       // the frame's number since start (1-based); 0 for discarded input
    QString note;        // why the frame went unanswered, or the faults that shaped the reply
    QByteArray reply;    // the reply frame as it goes out; empty: no reply
    QByteArray before;   // junk written together with the reply's first character
    QByteArray after;    // extra characters written together with its last one
    QByteArray stale;    // to follow once the client has taken the reply
    bool hangup = false; // the line is to be dropped now, without a reply
    bool imageChanged = false;
};

class Controller {
public:
    // The longest run from "[" without "]" taken as a frame; anything longer is noise.
    static constexpr int MaxFrameLength = 401;

    explicit Controller(std::vector<Fault> faults = {});

    const ControllerImage& image() const { return m_image; }
    void setImage(const ControllerImage& image) { m_image = image; }
    int framesReceived() const { return m_frames; }

    // Takes input as it arrives, in any pieces. A "[" always starts a new frame, dropping
    // an unfinished one. After a frame that hangs up, the rest of the input is dropped
    // with the line.
    std::vector<Received> feed(QByteArrayView bytes);

private:
    Received handleFrame(const QByteArray& frame);
    // A command's reply body, its effect on the image done; the faults it took noted.
    QByteArray answer(const ReceivedCommand& command, Received& r, QStringList& applied);
    // The reply frame around the body, as the faults shape it.
    void shapeReply(const QByteArray& body, Received& r, QStringList& applied) const;
    bool faultApplies(FaultKind kind) const;
    void discard(std::vector<Received>& out, QByteArray& bytes);

    ControllerImage m_image{};
    std::vector<Fault> m_faults;
    int m_frames = 0;
    bool m_inFrame = false;
    QByteArray m_partial;
};

// One write onto the line: its bytes go out together once due.
struct LinePiece {
    std::chrono::steady_clock::time_point due;
    QByteArray bytes;
    bool afterClientRead = false; // hold back until the client has taken what went before
    QString logLine;              // logged when this piece has been written
};

// How long stale bytes may wait for the client to take the reply before they go anyway.
inline constexpr std::chrono::milliseconds StaleWaitLimit{100};

// Time on the controller's line (ControllerLine: 38400 baud, ten bits a character).
std::chrono::nanoseconds wireTime(qsizetype characters);

// The pieces of one reply. Paced: a frame of frameLength characters that arrived at
// `arrived` first takes its own wire time, then each character of the reply is written
// when it would have fully arrived, but never before `lineFree`. Unpaced: all at
// `arrived` in one write. Stale bytes follow in a piece of their own.
std::vector<LinePiece> replyPieces(const Received& received, bool paced,
                                   std::chrono::steady_clock::time_point arrived,
                                   std::chrono::steady_clock::time_point lineFree);
