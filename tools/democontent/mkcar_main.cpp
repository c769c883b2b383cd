// rovanta-mkcar player|opponent MODEL.3ds TEXTURE.bmp: writes a demo car
// model and its texture in the team's colours.
#include <cstdio>
#include <string>

#include "bmp_writer.h"
#include "car_design.h"
#include "command_line_glue.h"
#include "tool_output.h"

int main(int argc, char** argv) {
  std::string team, model, texture;
  CLI::App app{"Writes a demo car model and its texture in the team's colours.", "rovanta-mkcar"};
  setUpCommandLine(app);
  app.add_option("TEAM", team, "player or opponent")->required()->check(CLI::IsMember({"player", "opponent"}));
  app.add_option("MODEL.3ds", model, "car model to write")->required();
  app.add_option("TEXTURE.bmp", texture, "car texture to write")->required();
  app.callback([&model, &texture] {
    std::string problem = outputProblem(model, {texture}, "the car model");
    if (problem.empty()) problem = outputProblem(texture, {model}, "the car texture", "BMP");
    if (!problem.empty()) throw CLI::ValidationError(problem);
  });
  if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;

  CarStyle style = team == "player" ? playerStyle() : opponentStyle();
  if (!writeModel3ds(model, buildCarMeshes(style.rearWing))) {
    std::fprintf(stderr, "rovanta-mkcar: cannot write %s\n", model.c_str());
    return 1;
  }
  if (!writeBmp24(texture, paintCarTexture(style))) {
    std::fprintf(stderr, "rovanta-mkcar: cannot write %s\n", texture.c_str());
    return 1;
  }
  return 0;
}
