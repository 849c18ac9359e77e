#include "tests/support/testhome.h"

#include <QDir>
#include <QTemporaryDir>

QString useFreshHome() {
    static QTemporaryDir dir; // removed when the test program ends
    QString home = dir.path();
    QDir(home).removeRecursively();
    QDir().mkpath(home);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("USERPROFILE", home.toLocal8Bit()); // where Windows looks for the home folder
    return home;
}
