// rovanta-mkpatt: makes a marker pattern file from a square marker picture (border included),
// or writes the built-in demo marker picture.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "image_file.h"
#include "photo_main.h"
#include "synthcam.h"
#include "tracking/pattern.h"

namespace {

const char* const kUsage =
    "usage: rovanta-mkpatt PICTURE.ppm OUT.patt\n"
    "       rovanta-mkpatt --default-marker OUT.ppm [SIDE]\n"
    "       rovanta-mkpatt --photo IMAGE... --camera CAMERA.dat OUT.patt\n"
    "PICTURE is the whole square marker including its black border (a quarter of the side on\n"
    "each side); the pattern is taken from the inner half, in the four quarter turns.\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "rovanta-mkpatt: %s\n", message.c_str());
    return 1;
}

int writeDefaultMarker(const std::string& path, int side) {
    if (side < 16 || side > 4096) return fail("SIDE must be between 16 and 4096");
    SynthPicture marker = defaultMarkerPicture(side);
    RgbPicture picture{marker.size, marker.size, marker.rgb};
    if (!writePpm(path, picture)) return fail(path + ": cannot write");
    return 0;
}

int makePattern(const std::string& input, const std::string& output) {
    RgbPicture picture;
    std::string error;
    if (!readImageFile(input, &picture, &error)) return fail(input + ": " + error);
    if (picture.width != picture.height) return fail(input + ": the marker picture must be square");
    if (picture.width < 4) return fail(input + ": the marker picture is too small");
    SynthPicture marker;
    marker.size = picture.width;
    marker.rgb = picture.rgb;
    uint8_t values[kPatternFileValues];
    makePatternValues(marker, values);
    if (savePatternFile(output.c_str(), values) < 0) return fail(output + ": cannot write");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (asksForPhotoPattern(argc, argv)) return photoPatternMain(argc, argv);
    if (argc >= 3 && std::string(argv[1]) == "--default-marker" && argc <= 4)
        return writeDefaultMarker(argv[2], argc == 4 ? std::atoi(argv[3]) : 256);
    if (argc == 3 && argv[1][0] != '-') return makePattern(argv[1], argv[2]);
    std::fprintf(stderr, "%s", kUsage);
    return 2;
}
