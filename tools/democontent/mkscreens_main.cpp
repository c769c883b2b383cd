// rovanta-mkscreens OUTDIR: writes the title, won and lost screen images
// (main.bmp, main_win.bmp, main_lose.bmp) into OUTDIR.
#include <cstdio>
#include <string>

#include "bmp_writer.h"
#include "command_line_glue.h"
#include "screen_art.h"

int main(int argc, char** argv) {
  std::string dir;
  CLI::App app{"Writes the title, won and lost screen images (main.bmp, main_win.bmp, main_lose.bmp).",
               "rovanta-mkscreens"};
  setUpCommandLine(app);
  app.add_option("OUTDIR", dir, "folder to write them into")->required();
  if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

  const struct {
    const char* file;
    Canvas picture;
  } screens[] = {{"main.bmp", paintTitleScreen()},
                 {"main_win.bmp", paintWonScreen()},
                 {"main_lose.bmp", paintLostScreen()}};
  for (const auto& s : screens) {
    std::string path = dir + "/" + s.file;
    if (!writeBmp24(path, s.picture)) {
      std::fprintf(stderr, "rovanta-mkscreens: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
