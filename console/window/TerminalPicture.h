// Image1: the 46 x 52 picture at the top right of the main window, a card
// going into a payment terminal, drawn in code (no image files to ship).
#pragma once

#include <QPixmap>

QPixmap TerminalPicture(qreal devicePixelRatio = 1.0);
