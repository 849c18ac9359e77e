#pragma once

#include <QCheckBox>

// A row's check box. It behaves as any QCheckBox; it only paints its caption from the
// shared laid-out text, since 128 of them show the same few words.
class RowCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit RowCheckBox(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
