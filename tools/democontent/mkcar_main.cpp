// rovanta-mkcar player|opponent MODEL.3ds TEXTURE.bmp: writes a demo car
// model and its texture in the team's colours.
#include <cstdio>
#include <string>

#include "bmp_writer.h"
#include "car_design.h"

int main(int argc, char** argv) {
  std::string team = argc == 4 ? argv[1] : "";
  if (team != "player" && team != "opponent") {
    std::fprintf(stderr, "usage: rovanta-mkcar player|opponent MODEL.3ds TEXTURE.bmp\n");
    return 2;
  }
  CarStyle style = team == "player" ? playerStyle() : opponentStyle();
  if (!writeModel3ds(argv[2], buildCarMeshes(style.rearWing))) {
    std::fprintf(stderr, "rovanta-mkcar: cannot write %s\n", argv[2]);
    return 1;
  }
  if (!writeBmp24(argv[3], paintCarTexture(style))) {
    std::fprintf(stderr, "rovanta-mkcar: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
