#include <QApplication>

#include "app/brevaneapp.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvik Brevane"));
    BrevaneApp brevane(Seams::system());
    brevane.window().show();
    return QApplication::exec();
}
