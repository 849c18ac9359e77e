#include "platform/messageboxes.h"

QMessageBox::StandardButton SystemMessageBoxes::show(QWidget* parent, const Message& message) {
    QMessageBox box(message.icon, message.title, message.text, message.buttons, parent);
    // The text may hold paths and reasons from outside: never taken as markup.
    box.setTextFormat(Qt::PlainText);
    if (message.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(message.defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
