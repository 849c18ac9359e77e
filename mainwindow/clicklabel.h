#pragma once

#include <QColor>
#include <QStaticText>
#include <QWidget>

// A row label: one line of text, left and top aligned, answering a mouse click as a
// button does (pressed, then released over it).
//
// It is lighter than QLabel on purpose: the window holds 256 of them and redraws them
// all after every edit.
class ClickLabel : public QWidget {
    Q_OBJECT
public:
    explicit ClickLabel(const QString& text, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    // The text colour.
    QColor foreColor() const { return m_foreColor; }
    void setForeColor(const QColor& colour);
    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QStaticText m_laidOut; // empty until the first paint after a change of text or font
    QColor m_foreColor = Qt::black;
    bool m_pressed = false;
};
