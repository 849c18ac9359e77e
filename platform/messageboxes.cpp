#include "platform/messageboxes.h"

QMessageBox::StandardButton SystemMessageBoxes::show(QWidget* parent, const MessageSpec& spec) {
    QMessageBox box(spec.icon, spec.title, spec.text, spec.buttons, parent);
    if (spec.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(spec.defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}
