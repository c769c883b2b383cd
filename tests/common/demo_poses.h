#pragma once
// The true marker-to-camera transform of every frame of the demo video, as
// the video renderer wrote them beside it.
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using DemoPose = std::array<double, 12>;  // 3 rows of 4

inline std::vector<DemoPose> readDemoPoses(const std::string& path) {
    std::vector<DemoPose> poses;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        int frame = 0;
        DemoPose p{};
        fields >> frame;
        for (double& v : p) fields >> v;
        poses.push_back(p);
    }
    return poses;
}
