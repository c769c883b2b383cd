#pragma once
// What a picture or video file is, read from its first bytes: its format and, for the
// compressed formats, its size, so that a picture too large to decode is
// refused before a decoder allocates for it.

#include <string>

// "PPM" (binary), "ASCII PPM", "PGM", "PBM", "BMP", "PNG", "JPEG", "GIF", "TIFF" or "WebP" when the
// file begins as such a picture does; "" for anything else or an unreadable file.
std::string pictureFormatOf(const std::string& path);
// "AVI", "MP4/MOV", "MOV", "Matroska/WebM", "MPEG", "Ogg", "FLV", "ASF/WMV", "Y4M" or "NUT" likewise.
std::string videoFormatOf(const std::string& path);

// Width and height as a PNG's or a JPEG's header gives them. False, with the
// reason in `error`, when the header is damaged or cut short.
bool compressedPictureSize(const std::string& path, long long* width, long long* height, std::string* error);
