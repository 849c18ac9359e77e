#pragma once

class QWidget;

// Moves a top-level window so that its outer frame sits in the middle of its screen.
void centreOnScreen(QWidget& window);
