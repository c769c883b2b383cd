#pragma once
// Test clips with known content: the top band carries the frame number as
// black and white blocks, the rest is four coloured quadrants.

#include <string>
#include <vector>

struct Rgb {
    int r, g, b;
};

struct ClipShape {
    int width = 160;
    int height = 120;
    int frames = 6;
    int framesPerSecond = 30;
};

constexpr int kCodeBandHeight = 16;
constexpr int kCodeBits = 6;

// Colours of the quadrants: top-left, top-right, bottom-left, bottom-right.
extern const Rgb kQuadrantColours[4];

std::vector<unsigned char> makeFrame(int width, int height, int index);
// Writes the clip; an empty string on success, else the reason.
std::string writeClip(const std::string& path, const ClipShape& shape);
// Frame number read back from the code band, or -1 when a block is unclear.
int readFrameIndex(const unsigned char* bgrx, int width);
Rgb pixelAt(const unsigned char* bgrx, int width, int x, int y);

// A fresh directory under the system's temporary folder, removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The two configuration forms the game builds.
std::string fileConfig(const std::string& escapedFileName);
std::string cameraConfig();
