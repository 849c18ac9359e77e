#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// What a file dialog is opened with.
struct FileDialogRequest {
    QString fileName;           // the name box's text: empty, a name or a full path (may hold "*")
    QStringList nameFilters;    // entries as the user sees them, e.g. "Text Files (*.TXT)"
    QString selectedNameFilter; // the entry selected at the start
};

// The file dialogs go through this seam, so tests can read and answer them. Both
// return the chosen full path, or an empty string when the dialog was cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // An existing file must be chosen.
    virtual QString getOpenFileName(QWidget* parent, const FileDialogRequest& request) = 0;
    // Any name in an existing folder; asks before an existing file is replaced. The
    // name is returned as typed: no extension is added.
    virtual QString getSaveFileName(QWidget* parent, const FileDialogRequest& request) = 0;
};

// The real dialogs. Patterns match as on Windows everywhere: without regard to case,
// and "*.*" matches every name, also one without a dot.
class SystemFileDialogs final : public FileDialogs {
public:
    QString getOpenFileName(QWidget* parent, const FileDialogRequest& request) override;
    QString getSaveFileName(QWidget* parent, const FileDialogRequest& request) override;
};

// The patterns of a filter entry as Windows matches them: "Files (*.TXT)" gives
// "*.TXT" and "*.txt"; "*.*" gives "*".
QStringList windowsMatchingPatterns(const QString& nameFilter);
