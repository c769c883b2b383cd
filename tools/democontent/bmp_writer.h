#pragma once
#include <string>

#include "canvas.h"

// Writes an uncompressed 24-bit bitmap with the usual 54-byte headers,
// bottom row first, rows padded to 4 bytes, whole or not at all. False, with the
// reason in `why`, when the file cannot be written. `pixelsPerMetre` is the
// print resolution stored in the header (2835 is 72 dpi).
bool writeBmp24(const std::string& path, const Canvas& canvas, int pixelsPerMetre = 2835, std::string* why = nullptr);
