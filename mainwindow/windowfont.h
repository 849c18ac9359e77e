#pragma once

#include <QFont>

// Calibri, or its metric twin Carlito where Calibri is missing, at a pixel size: the
// layout is drawn in pixels, so the text must be too (11.25 pt at 96 dpi is 15 px).
QFont brevaneFont(int pixelSize);

constexpr int WindowFontPixels = 15; // 11.25 pt
constexpr int RelayFontPixels = 16;  // 12 pt
