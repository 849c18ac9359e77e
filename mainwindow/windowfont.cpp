#include "mainwindow/windowfont.h"

#include <QStringList>

QFont brevaneFont(int pixelSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Calibri"), QStringLiteral("Carlito")});
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}
