#include "test_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "rovanta-world-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const
{
    const std::string file = path + "/" + name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        throw std::runtime_error("cannot write " + file);
    }
    std::fwrite(content.data(), 1, content.size(), out);
    std::fclose(out);
    return file;
}

std::string SceneSections::carLines(float mass, float rotation, const std::string& position)
{
    return "MODEL car.3ds\nTEXTURE car.bmp\nPOSITION " + position + "\nSCALE 2 2 2\nRADIUS 1\nROTATION " +
           std::to_string(rotation) + "\nMASS " + std::to_string(mass) + "\n";
}

std::string SceneSections::routePoint(int index, const std::string& position, float speed)
{
    return "ROUTE-POINT " + std::to_string(index) + "\nPOSITION " + position + "\nSPEED " + std::to_string(speed) + "\n";
}

std::string SceneSections::text() const
{
    std::string scene = "SCENE-V-0.0.1\n" + video + "CAMERA cam.dat\nPATTERN marker.patt\n" + boxes +
                        collisionBoxes + checkpoints + "CAR\n" + player;
    if (!opponent.empty()) {
        scene += "OPPONENT-CAR\n" + opponent;
    }
    return scene;
}
