// rovanta-demoprint: writes the demo mat as a PDF page to print at actual size
// on A3: the sheet the demo video films, with all its markers.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "tools/demovideo/demo_table.h"
#include "tools/demovideo/marker_pictures.h"
#include "tools/demovideo/mat_print.h"

int main(int argc, char** argv) {
    std::string markers, out;
    int dotsPerInch = 200;
    CLI::App app{"Writes the demo mat as a one-page PDF to print at actual size on A3 landscape.", "rovanta-demoprint"};
    setUpCommandLine(app);
    app.add_option("--markers", markers, "folder holding the pictures of the mat's markers")
        ->type_name("DIR")
        ->required();
    addWholeNumber(app, "--dpi", dotsPerInch, 50, 600, "resolution of the sheet's picture (default 200)");
    app.add_option("OUT.pdf", out, "page to write")->required();
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

    const DemoTable& table = demoTable();
    std::vector<SynthPicture> pictures;
    std::string error;
    if (!loadMarkerPictures(table, markers, &pictures, &error)) {
        std::fprintf(stderr, "rovanta-demoprint: %s\n", error.c_str());
        return 1;
    }
    const double pixelsPerUnit = dotsPerInch / 25.4 * kPrintMillimetresPerUnit;
    const std::string part = out + ".part";
    if (!writeMatPdf(part, paintMatSheet(table, pictures, pixelsPerUnit), table, &error) ||
        std::rename(part.c_str(), out.c_str()) != 0) {
        std::fprintf(stderr, "rovanta-demoprint: %s\n", error.empty() ? (out + ": cannot write").c_str() : error.c_str());
        std::remove(part.c_str());
        return 1;
    }
    return 0;
}
