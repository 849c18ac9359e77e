#pragma once

#include <QString>
#include <QTextStream>

#include "cli/tablereport.h"
#include "link/exchange.h"

class SerialPort;
class TimeoutClock;

// Exit statuses of brevane-cli besides the transfer error codes (4, 52, 61, 62, 71).
enum CliStatus : int {
    StatusOk = 0,         // done; files equal; controller matches
    StatusDiffers = 1,    // files differ; controller differs from the file
    StatusBadUsage = 2,   // bad arguments, a file that cannot be read or written
    StatusPortFailed = 3, // "Unable To Open Port"
};

// Where a command writes. Results go to out; messages about failures, the progress line
// and the trace go to err.
struct Console {
    QTextStream& out;
    QTextStream& err;
    bool progressLine = false; // err is a terminal: show the nine blocks as they pass
};

// The controller a command talks to. The line and the clock are the real ones unless a
// test hands in its own.
struct LinkSettings {
    int portNumber = 1;
    bool trace = false;
    SerialPort* line = nullptr;
    TimeoutClock* clock = nullptr;
    int replyTimeoutMs = ReplyTimeoutMs;
};

// "brevane-cli: " and the text, on one line of err.
void printProblem(Console& console, const QString& text);

int runShow(const QString& path, ShowFormat format, Console& console);
// 0 when both files hold the same 576 bytes, 1 when they differ (each difference listed).
int runDiff(const QString& pathA, const QString& pathB, Console& console);
// The window's Download of the file's table, once opened with its keys packed again: the
// ten frames, its checks and error codes.
// With a backup folder (created when missing), the controller's table is first read with
// the Upload sequence into <folder>/COM<n>-<UTC yyyymmdd-hhmmss>.BRV; when that fails no
// block is written and the status is the Upload's code, or 2 for the file.
int runDownload(const QString& path, const LinkSettings& link, Console& console,
                const QString& backupFolder = {});
// The window's Upload into a fresh table; the file is written (atomically) only when
// the controller's checksum has confirmed every block.
int runUpload(const QString& path, const LinkSettings& link, Console& console);
// Reads the controller's table with the Upload sequence (nothing is written anywhere) and
// lists what differs from the file to the controller as diff does: 0 same, 1 differs,
// else the Upload's code. Text or json only.
int runCompare(const QString& path, ShowFormat format, const LinkSettings& link, Console& console);
// COM1 to COM16 and the serial devices on this machine.
int runPorts(Console& console);
// Sends the checksum request count times (it changes nothing on the controller), prints
// each round trip and what they tell of the line: 0 when every request got a good reply,
// 3 when the port does not open, 52 otherwise. A request waits for its reply up to
// PingTimeoutMs at most.
constexpr int PingTimeoutMs = 1000;
int runPing(int count, const LinkSettings& link, Console& console);
// Sends only the checksum request and compares the answer with the image of the table
// that download would send.
int runVerify(const QString& path, const LinkSettings& link, Console& console);
