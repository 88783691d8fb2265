// The window's look on this platform: the classic 8-point sans font, a style whose tabs are
// narrow enough for five captions in 289 pixels, and the program icon.
#pragma once

#include <QFont>
#include <QIcon>

class QApplication;

// "MS Sans Serif" 8 pt when it can be had (registered from the fonts-wine package for this
// process only), otherwise an 11-pixel sans font that keeps every caption inside its place.
QFont WindowFont();

// Sets the style, the window font and the application icon.
void ApplyWindowLook(QApplication& app);

QIcon ProgramIcon();
