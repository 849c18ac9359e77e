#pragma once

#include <functional>

class QMargins;
class QPoint;
class QRect;
class QSize;
class QWidget;

// Where the outer frame's top-left corner goes so that a window whose client area has the
// given size, inside a frame of the given margins, stands in the middle of area.
QPoint centredFramePosition(const QRect& area, const QSize& client, const QMargins& frame);

// The size of the view through which a client area is seen within room: the client's own
// size when it fits, else as much of it as fits, with room for a scroll bar of the given
// breadth along each side that scrolls.
QSize scrolledViewSize(const QSize& client, const QSize& room, int bar);

// Moves a top-level window so that its outer frame sits in the middle of its screen; a
// frame as wide or as tall as the screen's work area fills the work area that way instead.
// A window manager puts its frame round the window only once it is shown, so the window is
// centred once more as soon as that frame is known. fit, when given, runs before each
// centring, with the frame as it is known then.
void centreOnScreen(QWidget& window, const std::function<void()>& fit = {});
