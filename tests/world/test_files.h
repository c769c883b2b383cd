#pragma once

#include <string>

// A fresh directory under the system temp folder, removed with its files.
struct TempDir {
    std::string path;
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string write(const std::string& name, const std::string& content) const;
};

// Scene text assembled from its sections, so tests only spell out what they vary.
struct SceneSections {
    std::string video = "VIDEO clip.avi\n";
    std::string boxes = "BOXES 0\n";
    std::string collisionBoxes = "COLLISION-BOXES 0\n";
    std::string checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 0 0 0\nSCALE 10 10 10\n";
    std::string player = carLines(1.0f);
    std::string opponent;  // empty: no opponent

    static std::string carLines(float mass, float rotation = 0.0f, const std::string& position = "0 0 0");
    static std::string routePoint(int index, const std::string& position, float speed);
    std::string text() const;
};
