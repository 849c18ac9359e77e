#pragma once

#include <QString>
#include <array>

#include "link/protocol.h"

class Exchange;

// The one message a transfer run closes with.
struct TransferMessage {
    enum Kind {
        PortError, // the port could not be opened (stop icon)
        Complete,  // no icon
        Error,     // the run failed after opening (stop icon)
    };
    Kind kind = Complete;
    QString text;
    QString title;
};

// What a run shows to its user: the window's bar and message boxes, or a terminal.
class TransferReporter {
public:
    virtual ~TransferReporter() = default;
    // The port is open; progress runs from 0 to max.
    virtual void progressStarted(int max) = 0;
    // A block has been acknowledged; value runs 1 to max.
    virtual void progress(int value) = 0;
    // Returns when the user has closed the message.
    virtual void message(const TransferMessage& message) = 0;
};

// Error codes the runs report.
enum TransferErrorCode : int {
    BlockWriteFailed = 4,
    ChecksumRequestFailed = 52,
    ChecksumHighDiffers = 61,
    ChecksumLowDiffers = 62,
    BlockReadFailed = 71,
};

// Every code a run can fail with, and those of an Upload.
inline constexpr std::array<TransferErrorCode, 5> TransferErrorCodes{
    BlockWriteFailed, ChecksumRequestFailed, ChecksumHighDiffers, ChecksumLowDiffers,
    BlockReadFailed};
inline constexpr std::array<TransferErrorCode, 4> UploadErrorCodes{
    ChecksumRequestFailed, ChecksumHighDiffers, ChecksumLowDiffers, BlockReadFailed};

struct TransferOutcome {
    enum Kind { Complete, PortError, Failed };
    Kind kind = Complete;
    int errorCode = 0; // one of TransferErrorCode when Failed

    bool operator==(const TransferOutcome&) const = default;
};

// Opens port ComPortNum on the exchange's port, or shows "Unable To Open Port".
bool openComPort(Exchange& link, TransferReporter& reporter);

// Asks the controller, on the open port, for the checksum of the image it holds and
// compares it with image's: 0 when they agree, else ChecksumRequestFailed (no valid
// reply), ChecksumHighDiffers or ChecksumLowDiffers.
int VerifyCnf(Exchange& link, const ControllerImage& image);

// Both runs open port ComPortNum on the exchange's port and leave it open: the caller
// closes it, after the message, whatever the outcome.

// Sends the table (in controller-image order, with the keys as they are packed) in nine
// blocks and compares the controller's image checksum with the table's. The table is not
// changed.
TransferOutcome DownloadCnf(Exchange& link, TransferReporter& reporter);

// Reads the nine blocks straight into the table and compares the controller's image
// checksum with the table's. A failed run clears the table (ResetCnf, after the message
// has been closed) and sets CnfPath to "None": what is left belongs to no file. The keys
// are not unpacked here.
TransferOutcome UploadCnf(Exchange& link, TransferReporter& reporter);
