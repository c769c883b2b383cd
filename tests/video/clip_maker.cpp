#include "clip_maker.h"

#include "tools/videoenc/videoenc.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

const Rgb kQuadrantColours[4] = {{230, 20, 20}, {20, 200, 40}, {30, 40, 220}, {240, 230, 30}};

namespace {

int codeBlockWidth(int width) { return width / kCodeBits; }

void setPixel(std::vector<unsigned char>& f, int width, int x, int y, Rgb c) {
    unsigned char* p = &f[(static_cast<std::size_t>(y) * width + x) * 4];
    p[0] = static_cast<unsigned char>(c.b);
    p[1] = static_cast<unsigned char>(c.g);
    p[2] = static_cast<unsigned char>(c.r);
    p[3] = 0;
}

Rgb codeColour(int x, int width, int index) {
    int bit = x / codeBlockWidth(width);
    bool on = bit < kCodeBits && ((index >> bit) & 1);
    return on ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}

Rgb quadrantColour(int x, int y, int width, int height) {
    int midY = kCodeBandHeight + (height - kCodeBandHeight) / 2;
    return kQuadrantColours[(y >= midY ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
}

}  // namespace

std::vector<unsigned char> makeFrame(int width, int height, int index) {
    std::vector<unsigned char> f(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb c = y < kCodeBandHeight ? codeColour(x, width, index) : quadrantColour(x, y, width, height);
            setPixel(f, width, x, y, c);
        }
    }
    return f;
}

std::string writeClip(const std::string& path, const ClipShape& shape) {
    VideoEncoderSettings settings;
    settings.width = shape.width;
    settings.height = shape.height;
    settings.framesPerSecond = shape.framesPerSecond;
    settings.quality = 95;
    std::string error;
    VideoEncoder* enc = videoEncoderCreate(path, settings, &error);
    if (enc == nullptr) return error;
    for (int i = 0; i < shape.frames; ++i) {
        if (videoEncoderAddFrame(enc, makeFrame(shape.width, shape.height, i).data(), &error) != 0) {
            videoEncoderDestroy(enc);
            return error;
        }
    }
    return videoEncoderFinish(enc, &error) == 0 ? std::string() : error;
}

Rgb pixelAt(const unsigned char* bgrx, int width, int x, int y) {
    const unsigned char* p = bgrx + (static_cast<std::size_t>(y) * width + x) * 4;
    return Rgb{p[2], p[1], p[0]};
}

int readFrameIndex(const unsigned char* bgrx, int width) {
    int index = 0;
    for (int bit = 0; bit < kCodeBits; ++bit) {
        Rgb c = pixelAt(bgrx, width, bit * codeBlockWidth(width) + codeBlockWidth(width) / 2, kCodeBandHeight / 2);
        int sum = c.r + c.g + c.b;
        if (sum > 3 * 200) index |= 1 << bit;
        else if (sum > 3 * 55) return -1;
    }
    return index;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rovanta-video-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string fileConfig(const std::string& escapedFileName) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><avi_file file_name=\"" + escapedFileName +
           "\" loop_avi=\"true\"><pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>"
           "</avi_file></video_input>";
}

std::string cameraConfig() {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input><camera show_format_dialog=\"true\" "
           "friendly_name=\"default\"><pixel_format><RGB32 flip_h=\"false\" flip_v=\"true\"/></pixel_format>"
           "</camera></video_input>";
}
