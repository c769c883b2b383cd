#include "tools/demovideo/scene_text.h"

#include <cstdio>

namespace {

std::string numbers(const double* values, int count) {
    std::string out;
    char buffer[32];
    for (int i = 0; i < count; ++i) {
        std::snprintf(buffer, sizeof buffer, "%s%g", i ? " " : "", values[i]);
        out += buffer;
    }
    return out;
}

std::string boxLines(const std::string& header, int number, const TableBox& box) {
    return header + " " + std::to_string(number) + "\nPOSITION " + numbers(box.centre, 3) + "\nSCALE " +
           numbers(box.size, 3) + "\n";
}

std::string carLines(const CarPlacement& car) {
    return "MODEL " + car.model + "\nTEXTURE " + car.texture + "\nPOSITION " + numbers(car.position, 3) +
           "\nSCALE " + numbers(car.scale, 3) + "\nRADIUS " + numbers(&car.radius, 1) + "\nROTATION " +
           numbers(&car.rotation, 1) + "\nMASS " + numbers(&car.mass, 1) + "\n";
}

std::string routeLines(const std::vector<RouteStop>& route) {
    std::string out = "ROUTE " + std::to_string(route.size()) + "\n";
    for (size_t i = 0; i < route.size(); ++i) {
        const double position[3] = {route[i].x, route[i].y, 0};
        out += "ROUTE-POINT " + std::to_string(i) + "\nPOSITION " + numbers(position, 3) + "\nSPEED " +
               numbers(&route[i].speed, 1) + "\n";
    }
    return out;
}

}  // namespace

std::string sceneText(const DemoTable& table) {
    std::string out = "SCENE-V-0.0.1\nVIDEO " + table.video + "\nCAMERA " + table.camera + "\nPATTERN " +
                      table.matFile + "\n";
    out += "BOXES " + std::to_string(table.objects.size()) + "\n";
    for (size_t i = 0; i < table.objects.size(); ++i) out += boxLines("BOX", static_cast<int>(i), table.objects[i].box);
    out += "COLLISION-BOXES " + std::to_string(table.walls.size()) + "\n";
    for (size_t i = 0; i < table.walls.size(); ++i) out += boxLines("BOX", static_cast<int>(i), table.walls[i]);
    out += "CHECKPOINTS " + std::to_string(table.gates.size()) + "\n";
    for (const Gate& gate : table.gates) out += boxLines("CHECKPOINT", gate.number, gate.zone);
    out += "CAR\n" + carLines(table.player) + "OPPONENT-CAR\n" + carLines(table.opponent);
    return out + routeLines(table.route);
}

std::string matText(const DemoTable& table) {
    std::string out = "# The demo mat: MARKER pattern-file centre-x centre-y width, in scene units.\n"
                      "# The track's marker lies in the middle, two more at each end of the sheet.\n";
    for (const TableMarker& m : table.markers)
        out += "MARKER " + m.pattern + " " + numbers(m.centre, 2) + " " + numbers(&m.width, 1) + "\n";
    return out;
}
