#include "app/desktopreport.h"

#include <QDir>

#include "platform/messageboxes.h"
#include "record/recordpdf.h"

int reportFromDesktop(const QString& brvPath, MessageBoxes& messages,
                      const std::function<bool(const QString& pdfPath)>& showPdf) {
    const RecordOutcome outcome =
        makeSiteRecord({QDir::toNativeSeparators(brvPath),
                        {},
                        defaultPaper(),
                        false,
                        QStringLiteral("Orvik Brevane " BREVANE_VERSION)});
    Message message;
    message.title = QStringLiteral("Site record");
    message.defaultButton = QMessageBox::Ok;
    if (!outcome.error.isEmpty()) {
        message.icon = QMessageBox::Critical;
        message.text = QStringLiteral("No site record was written.\n") +
                       outcome.error.front().toUpper() + outcome.error.mid(1);
        messages.show(nullptr, message);
        return 2;
    }
    if (!showPdf(outcome.pdfPath)) {
        message.icon = QMessageBox::Information;
        message.text = QStringLiteral("The site record was written to\n%1\nNo program to show PDF "
                                      "files is set up on this computer.")
                           .arg(outcome.pdfPath);
        messages.show(nullptr, message);
    }
    return 0;
}
