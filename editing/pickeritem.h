#pragma once

#include "mainwindow/clicklabel.h"

// One choice in a picker: its caption centred in black on white, clicked as a button is.
class PickerItem : public ClickLabel {
    Q_OBJECT
public:
    explicit PickerItem(const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
