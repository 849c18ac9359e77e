#pragma once

#include <QMessageBox>
#include <QString>

// Every message the program puts to the user goes through this seam, so tests can
// read and answer them.
struct Message {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the message modally and returns the button that closed it.
    virtual QMessageBox::StandardButton show(QWidget* parent, const Message& message) = 0;
};

// The real message boxes.
class SystemMessageBoxes final : public MessageBoxes {
public:
    QMessageBox::StandardButton show(QWidget* parent, const Message& message) override;
};
