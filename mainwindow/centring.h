#pragma once

class QMargins;
class QPoint;
class QRect;
class QSize;
class QWidget;

// Where the outer frame's top-left corner goes so that a window whose client area has the
// given size, inside a frame of the given margins, stands in the middle of area.
QPoint centredFramePosition(const QRect& area, const QSize& client, const QMargins& frame);

// Moves a top-level window so that its outer frame sits in the middle of its screen. A
// window manager puts its frame round the window only once it is shown, so the window is
// centred once more as soon as that frame is known.
void centreOnScreen(QWidget& window);
