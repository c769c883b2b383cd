// rovanta-mkscreens OUTDIR: writes the title, won and lost screen images
// (main.bmp, main_win.bmp, main_lose.bmp) into OUTDIR.
#include <cstdio>
#include <string>

#include "bmp_writer.h"
#include "screen_art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: rovanta-mkscreens OUTDIR\n");
    return 2;
  }
  std::string dir = argv[1];
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
