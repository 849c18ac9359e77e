#include "link/transfer.h"

#include "link/exchange.h"
#include "link/protocol.h"
#include "platform/serialport.h"

namespace {

constexpr int ProgressMax = ImageBlocks;

} // namespace

bool openComPort(Exchange& link, TransferReporter& reporter) {
    if (link.port().open(link.mod().ComPortNum)) {
        return true;
    }
    reporter.message({TransferMessage::PortError, QStringLiteral("Unable To Open Port"),
                      QStringLiteral("Port Error")});
    return false;
}

int VerifyCnf(Exchange& link, const ControllerImage& image) {
    if (!link.SendCommand(ChecksumCommand, ChecksumReplyLength)) {
        return ChecksumRequestFailed;
    }
    const ChecksumHalves reported = decodeChecksumReply(link.mod().LastReply);
    const std::uint32_t own = ImageChecksum(image);
    if (reported.high != std::int32_t(own >> 16U)) {
        return ChecksumHighDiffers;
    }
    if (reported.low != std::int32_t(own & 0xFFFFU)) {
        return ChecksumLowDiffers;
    }
    return 0;
}

TransferOutcome DownloadCnf(Exchange& link, TransferReporter& reporter) {
    if (!openComPort(link, reporter)) {
        return {TransferOutcome::PortError, 0};
    }
    reporter.progressStarted(ProgressMax);
    const ControllerImage image = controllerImage(link.mod().Cnf);
    int code = 0;
    for (int block = 0; block < ImageBlocks && code == 0; ++block) {
        if (link.SendCommand(blockWriteCommand(block, image), BlockWriteReplyLength)) {
            reporter.progress(block + 1);
        } else {
            code = BlockWriteFailed;
        }
    }
    if (code == 0) {
        code = VerifyCnf(link, image);
    }
    if (code != 0) {
        reporter.message({TransferMessage::Error,
                          QStringLiteral("Download Error: %1\r\nBrevane will not function "
                                         "properly until a download is complete.")
                              .arg(code),
                          QStringLiteral("Error")});
        return {TransferOutcome::Failed, code};
    }
    reporter.message({TransferMessage::Complete, QStringLiteral("Download Complete"),
                      QStringLiteral("Download")});
    return {TransferOutcome::Complete, 0};
}

TransferOutcome UploadCnf(Exchange& link, TransferReporter& reporter) {
    if (!openComPort(link, reporter)) {
        return {TransferOutcome::PortError, 0};
    }
    ModBrevane& mod = link.mod();
    reporter.progressStarted(ProgressMax);
    int code = 0;
    for (int block = 0; block < ImageBlocks && code == 0; ++block) {
        if (link.SendCommand(blockReadCommand(block), BlockReadReplyLength)) {
            decodeBlockReply(mod.LastReply, block, mod.Cnf);
            reporter.progress(block + 1);
        } else {
            code = BlockReadFailed;
        }
    }
    if (code == 0) {
        code = VerifyCnf(link, controllerImage(mod.Cnf));
    }
    if (code != 0) {
        reporter.message({TransferMessage::Error,
                          QStringLiteral("Upload Error: %1\r\nAll Host Data Cleared.").arg(code),
                          QStringLiteral("Error")});
        mod.ResetCnf();
        mod.CnfPath = NoFile;
        return {TransferOutcome::Failed, code};
    }
    reporter.message(
        {TransferMessage::Complete, QStringLiteral("Upload Complete"), QStringLiteral("Upload")});
    return {TransferOutcome::Complete, 0};
}
