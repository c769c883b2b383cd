#pragma once
#include <string>

#include "canvas.h"

// A 5 x 7 pixel capital-letter font, drawn scaled up in solid blocks.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;

// Width in pixels of text at the scale, with one font pixel between letters.
int textWidth(const std::string& text, int scale);
// Draws text with its top-left corner at (x, y); unknown characters are blank.
void drawText(Canvas& c, const std::string& text, int x, int y, int scale, Color color);
// Centred horizontally, with a soft shadow below and to the right.
void drawTitleText(Canvas& c, const std::string& text, int y, int scale, Color color,
                   Color shadow);
