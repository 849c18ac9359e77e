#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>

bool FolderExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

QString workingRoot() {
#ifdef Q_OS_WIN
    return QStringLiteral("C:/Orvik Tessaly Net");
#else
    return QDir::homePath() + QStringLiteral("/Orvik Tessaly Net");
#endif
}

QString defaultFolder() {
    return workingRoot() + QStringLiteral("/Brevane");
}

bool PrepareWorkingFolders(const QString& root) {
    bool all = true;
    for (const QString& folder : {root, root + QStringLiteral("/Brevane")}) {
        if (!FolderExists(folder) && !QDir().mkdir(folder)) {
            all = false;
        }
    }
    return all;
}
