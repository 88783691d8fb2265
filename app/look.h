// The window's look on this platform: the classic 8-point sans font, a style whose tabs are
// narrow enough for five captions in 289 pixels, and the program icon.
#pragma once

#include <QFont>
#include <QIcon>

class QApplication;

// On a screen of scale 1, "MS Sans Serif" 8 pt when it can be had (registered from the fonts-wine
// package for this process only). Otherwise, and on any screen scaled above 1, an 11-pixel
// scalable sans font that keeps every caption inside its place and grows with the scale.
QFont WindowFont(qreal devicePixelRatio);

// Sets the style, the window font for the screens' scale and the application icon.
void ApplyWindowLook(QApplication& app);

QIcon ProgramIcon();
