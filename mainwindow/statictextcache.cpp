#include "mainwindow/statictextcache.h"

#include <QHash>

QStaticText sharedStaticText(const QString& text, const QFont& font) {
    // Captions are few (at most a few hundred distinct ones), so the cache stays small.
    static QHash<QString, QStaticText> cache;
    const QString key = font.key() + QLatin1Char('\n') + text;
    auto it = cache.find(key);
    if (it == cache.end()) {
        QStaticText laidOut(text);
        laidOut.setTextFormat(Qt::PlainText);
        laidOut.setPerformanceHint(QStaticText::AggressiveCaching);
        laidOut.prepare(QTransform(), font);
        it = cache.insert(key, laidOut);
    }
    return it.value();
}
