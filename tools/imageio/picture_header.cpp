#include "picture_header.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/file_path.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

long long bigEndian(const unsigned char* p, int bytes) {
    long long value = 0;
    for (int i = 0; i < bytes; ++i) value = value * 256 + p[i];
    return value;
}

// A format known by the bytes it begins with: `length` bytes at `offset`.
struct Signature {
    size_t offset;
    const char* bytes;
    size_t length;
    const char* name;
};

template <size_t N>
std::string formatByHead(const std::string& path, const Signature (&signatures)[N]) {
    FilePtr f(openFile(path.c_str(), "rb"));
    unsigned char head[16] = {};
    const size_t got = f ? std::fread(head, 1, sizeof head, f.get()) : 0;
    for (const Signature& s : signatures)
        if (got >= s.offset + s.length && std::memcmp(head + s.offset, s.bytes, s.length) == 0) return s.name;
    return "";
}

// The eight-byte signature, then the IHDR chunk: length 13, "IHDR", width, height.
bool pngSize(std::FILE* f, long long* width, long long* height) {
    unsigned char h[24];
    if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(h, 1, sizeof h, f) != sizeof h) return false;
    if (bigEndian(h + 8, 4) != 13 || std::memcmp(h + 12, "IHDR", 4) != 0) return false;
    *width = bigEndian(h + 16, 4);
    *height = bigEndian(h + 20, 4);
    return true;
}

bool isStartOfFrame(int marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Segment by segment up to the first start-of-frame, which holds the size.
bool jpegSize(std::FILE* f, long long* width, long long* height) {
    if (std::fseek(f, 2, SEEK_SET) != 0) return false;
    for (;;) {
        int c = std::fgetc(f);
        if (c != 0xFF) return false;
        while (c == 0xFF) c = std::fgetc(f);
        if (c == EOF) return false;
        if (c == 0x01 || (c >= 0xD0 && c <= 0xD7)) continue;  // markers without a length
        unsigned char segment[7];
        if (std::fread(segment, 1, 2, f) != 2 || bigEndian(segment, 2) < 2) return false;
        if (isStartOfFrame(c)) {
            if (std::fread(segment + 2, 1, 5, f) != 5) return false;
            *height = bigEndian(segment + 3, 2);
            *width = bigEndian(segment + 5, 2);
            return *width > 0 && *height > 0;
        }
        if (std::fseek(f, static_cast<long>(bigEndian(segment, 2)) - 2, SEEK_CUR) != 0) return false;
    }
}

}  // namespace

std::string pictureFormatOf(const std::string& path) {
    static const Signature kPictures[] = {
        {0, "P6", 2, "PPM"},   {0, "P3", 2, "ASCII PPM"}, {0, "P5", 2, "PGM"},         {0, "P2", 2, "PGM"},
        {0, "P4", 2, "PBM"},   {0, "P1", 2, "PBM"},       {0, "BM", 2, "BMP"},         {0, "\x89PNG\r\n\x1a\n", 8, "PNG"},
        {0, "\xFF\xD8\xFF", 3, "JPEG"}, {0, "GIF8", 4, "GIF"}, {0, "II*\0", 4, "TIFF"}, {0, "MM\0*", 4, "TIFF"},
        {8, "WEBP", 4, "WebP"}};
    return formatByHead(path, kPictures);
}

std::string videoFormatOf(const std::string& path) {
    static const Signature kVideos[] = {
        {8, "AVI ", 4, "AVI"},         {4, "ftyp", 4, "MP4/MOV"},     {4, "moov", 4, "MOV"},
        {4, "mdat", 4, "MOV"},         {0, "\x1A\x45\xDF\xA3", 4, "Matroska/WebM"},
        {0, "\0\0\x01\xBA", 4, "MPEG"},  {0, "OggS", 4, "Ogg"},         {0, "FLV\x01", 4, "FLV"},
        {0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8, "ASF/WMV"},      {0, "YUV4MPEG2", 9, "Y4M"},
        {0, "nut/multimedia", 14, "NUT"}};
    return formatByHead(path, kVideos);
}

bool compressedPictureSize(const std::string& path, long long* width, long long* height, std::string* error) {
    const std::string format = pictureFormatOf(path);
    FilePtr f(openFile(path.c_str(), "rb", error));
    if (!f) return false;
    const bool read = format == "PNG" ? pngSize(f.get(), width, height)
                                      : format == "JPEG" && jpegSize(f.get(), width, height);
    if (!read)
        *error = "damaged " + (format.empty() ? std::string("picture") : format) + " file: its header cannot be read";
    return read;
}
