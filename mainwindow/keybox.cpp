#include "mainwindow/keybox.h"

#include <QDropEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <string_view>

namespace {

constexpr int CtrlC = 3;
constexpr int CtrlV = 22;
constexpr int CtrlX = 24;
constexpr int Backspace = 8;

constexpr std::string_view AdmittedMarks = R"(!@#$%&*_-+=:;,.()[]{}<>\/?)";

} // namespace

bool keyAsciiAdmitted(int code) {
    if (code == Backspace || code == CtrlC || code == CtrlV) {
        return true;
    }
    if ((code >= '0' && code <= '9') || (code >= 'a' && code <= 'z') ||
        (code >= 'A' && code <= 'Z')) {
        return true;
    }
    return code > 0 && code < 127 &&
           AdmittedMarks.find(static_cast<char>(code)) != std::string_view::npos;
}

int keyAsciiOf(const QKeyEvent* event) {
    const int key = event->key();
    const auto mods = event->modifiers();
    const bool ctrl = mods.testFlag(Qt::ControlModifier) && !mods.testFlag(Qt::AltModifier);
    if (ctrl && key >= Qt::Key_A && key <= Qt::Key_Z) {
        return key - Qt::Key_A + 1;
    }
    switch (key) {
    case Qt::Key_Backspace:
        return ctrl ? 127 : Backspace;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Delete: // X11 gives it the text DEL, yet it types nothing
        return -1;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty()) {
        return -1;
    }
    return text.at(0).unicode();
}

KeyBox::KeyBox(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(8);
}

bool KeyBox::event(QEvent* event) {
    // Claim Ctrl+X before any shortcut can act on it; the key press then drops it.
    if (event->type() == QEvent::ShortcutOverride &&
        keyAsciiOf(static_cast<QKeyEvent*>(event)) == CtrlX) {
        event->accept();
        return true;
    }
    // A dragged file is for the window to open, not text for the key: left unaccepted,
    // the drag goes on to the window.
    const QEvent::Type type = event->type();
    if ((type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) &&
        static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
        event->ignore();
        return false;
    }
    return QLineEdit::event(event);
}

void KeyBox::keyPressEvent(QKeyEvent* event) {
    const int code = keyAsciiOf(event);
    if (code >= 0 && !keyAsciiAdmitted(code)) {
        event->accept(); // dropped: the box takes nothing
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void KeyBox::inputMethodEvent(QInputMethodEvent* event) {
    // Composed characters are typed characters too.
    const QString commit = event->commitString();
    QString kept;
    for (const QChar c : commit) {
        if (keyAsciiAdmitted(c.unicode())) {
            kept += c;
        }
    }
    if (kept == commit) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
}
