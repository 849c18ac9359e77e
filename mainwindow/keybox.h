#pragma once

#include <QLineEdit>

class QKeyEvent;

// Whether a typed character code may enter a key: Backspace, Ctrl+C, Ctrl+V, digits,
// letters and 26 marks. Everything else is dropped.
bool keyAsciiAdmitted(int code);
// The character code a key press types, as a Ctrl+letter chord gives its control code;
// -1 for keys that type no character (arrows, Delete, Home, End), which edit as usual.
int keyAsciiOf(const QKeyEvent* event);

// A key box: at most eight characters, typed characters filtered one by one. Pasted
// text is taken unfiltered but still cut to eight characters.
class KeyBox : public QLineEdit {
    Q_OBJECT
public:
    explicit KeyBox(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
};
