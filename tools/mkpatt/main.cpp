// rovanta-mkpatt: makes a marker pattern file from a square marker picture (border included)
// or from photographs of a printed marker, or writes the built-in demo marker picture.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "command_line_glue.h"
#include "image_file.h"
#include "photo_main.h"
#include "synthcam.h"
#include "tool_output.h"
#include "tracking/pattern.h"

namespace {

struct Options {
    std::vector<std::string> files;          // PICTURE OUT
    std::vector<std::string> defaultMarker;  // OUT [SIDE]
    int side = 256;
};

// Exactly one of the two forms, each with its own number of words.
void checkForm(Options& o) {
    if (!o.defaultMarker.empty()) {
        if (!o.files.empty()) throw CLI::ValidationError("--default-marker takes no PICTURE");
        if (o.defaultMarker.size() == 2)
            o.side = static_cast<int>(readWholeNumber(o.defaultMarker[1], 16, 4096, "SIDE"));
        if (const std::string problem = outputProblem(o.defaultMarker[0], {}, "the marker picture", "PPM");
            !problem.empty())
            throw CLI::ValidationError(problem);
    } else if (o.files.size() != 2) {
        throw CLI::ValidationError("give PICTURE and OUT, or --default-marker OUT [SIDE]");
    } else if (const std::string problem = outputProblem(o.files[1], {o.files[0]}, "the pattern"); !problem.empty()) {
        throw CLI::ValidationError(problem);
    }
}

std::optional<int> readOptions(int argc, char** argv, Options& o) {
    CLI::App app{"Makes a pattern file from a marker picture, or writes the built-in demo marker picture.\n"
                 "PICTURE is the whole square marker including its black border (a quarter of the side on\n"
                 "each side); the pattern is taken from the inner half, in the four quarter turns.",
                 "rovanta-mkpatt"};
    setUpCommandLine(app, "rovanta-mkpatt PICTURE OUT.patt\n"
                          "       rovanta-mkpatt --default-marker OUT.ppm [SIDE]\n"
                          "       rovanta-mkpatt --photo IMAGE... --camera CAMERA.dat --out OUT.patt (see --photo --help)");
    // Throw: more words than a form takes is an error, not a reason to keep the last ones.
    app.add_option("PICTURE OUT", o.files, "marker picture (PPM or BMP) and the pattern file to write")
        ->expected(0, 2)
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.add_option("--default-marker", o.defaultMarker, "write the demo marker picture, SIDE pixels wide (default 256)")
        ->type_name("OUT.ppm [SIDE]")
        ->expected(1, 2)
        ->multi_option_policy(CLI::MultiOptionPolicy::Throw);
    app.callback([&o] { checkForm(o); });
    return parseCommandLine(app, argc, argv);
}

// Far more than the pattern's 16 x 16 cells can use, and small enough to hold.
constexpr long long kMaxMarkerPixels = 4096LL * 4096;

int fail(const std::string& message) {
    std::fprintf(stderr, "rovanta-mkpatt: %s\n", message.c_str());
    return 1;
}

int writeDefaultMarker(const std::string& path, int side) {
    SynthPicture marker = defaultMarkerPicture(side);
    RgbPicture picture{marker.size, marker.size, marker.rgb};
    std::string why;
    if (!writePpm(path, picture, &why)) return fail(path + ": cannot write: " + why);
    return 0;
}

int makePattern(const std::string& input, const std::string& output) {
    RgbPicture picture;
    std::string error;
    if (!readImageFile(input, &picture, &error, kMaxMarkerPixels)) return fail(input + ": " + error);
    if (picture.width != picture.height) return fail(input + ": the marker picture must be square");
    if (picture.width < 4) return fail(input + ": the marker picture is too small");
    SynthPicture marker;
    marker.size = picture.width;
    marker.rgb = std::move(picture.rgb);
    uint8_t values[kPatternFileValues];
    makePatternValues(marker, values);
    if (savePatternFile(output.c_str(), values, &error) < 0) return fail(output + ": cannot write: " + error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (asksForPhotoPattern(argc, argv)) return photoPatternMain(argc, argv);
    Options options;
    if (std::optional<int> status = readOptions(argc, argv, options)) return *status;
    if (!options.defaultMarker.empty()) return writeDefaultMarker(options.defaultMarker[0], options.side);
    return makePattern(options.files[0], options.files[1]);
}
