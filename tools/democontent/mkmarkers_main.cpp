// rovanta-mkmarkers OUTDIR [SIDE]: writes the pictures of the demo mat's
// further markers (NAME.ppm for each design) into OUTDIR.
#include <cstdio>
#include <string>

#include "command_line_glue.h"
#include "image_file.h"
#include "mat_markers.h"

namespace {

// Written beside its final name and renamed into place once complete.
bool writePicture(const std::string& path, const Canvas& canvas) {
  const std::string part = path + ".part";
  const bool written = writePpm(part, RgbPicture{canvas.width, canvas.height, canvas.rgb});
  if (written && std::rename(part.c_str(), path.c_str()) == 0) return true;
  std::remove(part.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int side = 128;
  CLI::App app{"Writes the pictures of the demo mat's further markers (NAME.ppm for each) into OUTDIR.",
               "rovanta-mkmarkers"};
  setUpCommandLine(app);
  app.add_option("OUTDIR", dir, "folder to write them into")->required();
  addWholeNumber(app, "--side", side, 16, 4096, "picture width in pixels (default 128)");
  if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

  for (const MatMarkerDesign& design : matMarkerDesigns()) {
    const std::string path = dir + "/" + design.name + ".ppm";
    if (!writePicture(path, paintMatMarker(design, side))) {
      std::fprintf(stderr, "rovanta-mkmarkers: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
