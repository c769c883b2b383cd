#include "track_options.h"

#include "command_line_glue.h"

#include <limits>

std::optional<int> readTrackOptions(int argc, char** argv, TrackOptions* o) {
    CLI::App app{"Detects markers in each image (binary PPM or BMP) in order and prints one JSON line per image.\n"
                 "The tracker chooses its binarisation for the light of each image (--threshold N shifts it by\n"
                 "N - 100); --fixed-threshold binarises every image with the one level N (default 100).\n"
                 "Each marker's sides are re-located with sub-pixel precision and its pose polished;\n"
                 "\"refined\" says whether that worked for the marker, and for the image whether it did\n"
                 "for every identified marker. --exact skips this: corners and poses as detection and the\n"
                 "angle search give them.\n"
                 "--mat MAT adds the pose of a mat of markers, from all its markers seen (\"mat\", null when\n"
                 "none gives one).\n"
                 "--repeat N times detection N times per image and reports the median; the marker history\n"
                 "then sees each image N times.",
                 "rovanta-track"};
    setUpCommandLine(app);
    app.add_option("--camera", o->camera, "camera parameter file")->type_name("FILE")->required();
    addRepeatable(app, "--pattern", o->patterns, "pattern file; repeat for more markers, numbered from 0")
        ->type_name("FILE");
    app.add_option("--mat", o->mat, "mat file: the mat's pose from all its markers (its patterns numbered after "
                                    "the --pattern ones)")
        ->type_name("FILE");
    addWholeNumber(app, "--threshold", o->threshold, -1000, 1000, "detection threshold (default 100)");
    app.add_flag("--fixed-threshold", o->fixedThreshold, "binarise every image with the one threshold");
    addNumber(app, "--marker-width", o->markerWidth, {0.0, std::numeric_limits<double>::max(), true},
              "printed marker width (default 80)");
    addWholeNumber(app, "--repeat", o->repeat, 1, 100000, "detections per image (default 1)");
    app.add_flag("--exact", o->exact, "corners and poses straight from detection and the angle search");
    app.add_option("IMAGE", o->images, "images to examine")->required();
    app.final_callback([o] {
        if (o->patterns.empty() && o->mat.empty()) throw CLI::RequiredError("--pattern or --mat");
    });
    return parseCommandLine(app, argc, argv);
}
