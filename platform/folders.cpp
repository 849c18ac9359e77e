#include "platform/folders.h"

#include <QDir>
#include <QFileInfo>

bool folderExists(const QString& path) {
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

bool prepareWorkingFolders(const QString& root) {
    bool all = true;
    for (const QString& folder : {root, root + QStringLiteral("/Brevane")}) {
        if (!folderExists(folder) && !QDir().mkdir(folder)) {
            all = false;
        }
    }
    return all;
}
