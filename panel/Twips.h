#pragma once

#include <QFont>
#include <QRect>
#include <QWidget>

namespace panel {

// Window layouts are drawn in twips; at 96 pixels per inch 15 twips make one
// device-independent pixel, which Qt scales for the screen.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips / TwipsPerPixel;
}

// The layouts were drawn for an 8-point dialog font; the desktop's own
// family at that size keeps every caption inside its control.
constexpr double DialogFontPointSize = 8.0;

inline void useDialogFont(QWidget* window)
{
    QFont font = window->font();
    font.setPointSizeF(DialogFontPointSize);
    window->setFont(font);
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return { twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height) };
}

} // namespace panel
