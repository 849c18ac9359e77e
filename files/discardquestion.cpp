#include "files/discardquestion.h"

#include "platform/messageboxes.h"
#include "table/modbrevane.h"

bool discardQuestion(const ModBrevane& mod, MessageBoxes& messages, QWidget* parent) {
    if (!mod.Modified) {
        return true;
    }
    Message question;
    question.text = QStringLiteral("Discard Any Changes?");
    question.title = QStringLiteral("Orvik Brevane");
    question.icon = QMessageBox::Question;
    question.buttons = QMessageBox::Yes | QMessageBox::No;
    question.defaultButton = QMessageBox::Yes;
    return messages.show(parent, question) == QMessageBox::Yes;
}
