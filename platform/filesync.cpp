#include "platform/filesync.h"

#include <QFile>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

bool syncFileData(int handle, QString* error) {
#ifdef Q_OS_WIN
    // Without a C runtime descriptor there is nothing to call; the file's commit flushes
    // its buffers there all the same.
    const bool synced = handle < 0 || _commit(handle) == 0;
#else
    const bool synced = fsync(handle) == 0;
#endif
    if (!synced && error != nullptr) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
    }
    return synced;
}

void syncFolder(const QString& folder) {
#ifdef Q_OS_WIN
    // A folder cannot be opened for syncing there; the rename is flushed with the file.
    Q_UNUSED(folder);
#else
    const int fd = open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        static_cast<void>(fsync(fd)); // the file itself is already on the disk
        close(fd);
    }
#endif
}
