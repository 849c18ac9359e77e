#pragma once

#include <QFont>
#include <QStaticText>
#include <QString>

// The laid-out form of a caption in a font, shared by every row widget that shows it.
// The rows repeat a handful of captions hundreds of times, so each is shaped once.
QStaticText sharedStaticText(const QString& text, const QFont& font);
