#pragma once

#include <QRect>

namespace panel {

// Window layouts are drawn in twips; at 96 pixels per inch 15 twips make one
// device-independent pixel, which Qt scales for the screen.
constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    return twips / TwipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height)
{
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

}  // namespace panel
