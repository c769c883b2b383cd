#include "calibrate_options.h"

#include "app/video/camera_modes.h"
#include "command_line_glue.h"
#include "tool_output.h"

#include <limits>

namespace {

const char* const kUsage =
    "rovanta-calibrate --board COLSxROWS --square SIZE --out CAMERA.dat [--video FILE] IMAGE...\n"
    "       rovanta-calibrate --board COLSxROWS --square SIZE --print-board OUT.bmp";
const char* const kDescription =
    "Measures a camera from photographs (PPM, BMP, JPEG or PNG) or a video of a printed chessboard and\n"
    "writes its camera file. COLSxROWS counts the inner corners (where four squares meet), e.g. 9x6.\n"
    "--print-board writes a printable board at 300 dpi whose squares are SIZE millimetres wide.";

// "9x6": two different counts of at least 2.
std::string checkBoard(const std::string& text, CalibrateOptions* o) {
    if (!parseFrameSize(text, &o->cols, &o->rows) || o->cols < 2 || o->rows < 2 || o->cols > 100 || o->rows > 100)
        return "--board wants COLSxROWS inner corners, each 2 to 100, e.g. 9x6; not " + text;
    if (o->cols == o->rows) return "--board " + text + ": a board with as many corners across as down is "
                                   "ambiguous when turned; use different counts, e.g. 9x6";
    return "";
}

// What a single option cannot say: the board's shape, and what the run needs.
void checkTogether(const std::string& board, CalibrateOptions* o) {
    const std::string boardError = checkBoard(board, o);
    if (!boardError.empty()) throw CLI::ValidationError(boardError);
    if (!o->printBoard.empty()) {
        if (const std::string problem = outputProblem(o->printBoard, {}, "the board", "BMP"); !problem.empty())
            throw CLI::ValidationError(problem);
        return;
    }
    if (o->out.empty()) throw CLI::RequiredError("--out");
    if (o->images.empty() && o->video.empty())
        throw CLI::ValidationError("no IMAGE and no --video: nothing to measure");
    std::vector<std::string> inputs = o->images;
    if (!o->video.empty()) inputs.push_back(o->video);
    if (const std::string problem = outputProblem(o->out, inputs, "the camera file"); !problem.empty())
        throw CLI::ValidationError(problem);
}

}  // namespace

std::optional<int> parseCalibrateOptions(int argc, char** argv, CalibrateOptions* o) {
    CLI::App app(kDescription, "rovanta-calibrate");
    setUpCommandLine(app, kUsage);
    std::string board;
    app.add_option("--board", board, "inner corners of the chessboard, COLSxROWS")->required();
    addNumber(app, "--square", o->square, {0.0, std::numeric_limits<double>::max(), true},
              "side of one square in scene units")
        ->required();
    auto* out = app.add_option("--out", o->out, "camera file to write");
    auto* video = app.add_option("--video", o->video, "take views from the frames of this video");
    addWholeNumber(app, "--every", o->every, 1, 100000, "with --video, every n-th frame (default 10)");
    auto* print = app.add_option("--print-board", o->printBoard, "write a printable board (BMP) and stop");
    auto* images = app.add_option("IMAGE", o->images, "photographs of the board");
    print->excludes(out)->excludes(video)->excludes(images);
    app.callback([&board, o] { checkTogether(board, o); });
    return parseCommandLine(app, argc, argv);
}
