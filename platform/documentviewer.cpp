#include "platform/documentviewer.h"

#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

bool openInViewer(const QString& path) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-open starts whatever it finds, even with no program for the type, and tells so
    // only later in its exit status; the desktop's own list says first whether one is set.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QMimeDatabase().mimeTypeForFile(path).name()});
    if (!query.waitForFinished(5000) || query.readAllStandardOutput().trimmed().isEmpty()) {
        return false;
    }
#endif
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
