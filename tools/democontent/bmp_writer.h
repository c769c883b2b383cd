#pragma once
#include <string>

#include "canvas.h"

// Writes an uncompressed 24-bit bitmap with the usual 54-byte headers,
// bottom row first, rows padded to 4 bytes. False when the file cannot be written.
bool writeBmp24(const std::string& path, const Canvas& canvas);
