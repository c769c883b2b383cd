// Where "rovanta --demo" finds the demo: installed beside the program, else
// where the program was built from.
#include "app/demo_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/scratch_dir.h"

namespace {

namespace fs = std::filesystem;

std::string sceneFolder(const std::string& path) {
    fs::create_directories(path);
    std::ofstream(path + "/Scene.txt") << "SCENE-V-0.0.1\n";
    return path;
}

TEST(DemoFolder, InstalledBesideTheProgramElseWhereItWasBuilt) {
    const std::string root = testScratchDir();
    const std::string built = sceneFolder(root + "source/demo");
    fs::create_directories(root + "usr/bin");
    EXPECT_EQ(findDemoFolder(root + "usr/bin/rovanta", built), built);
    const std::string installed = sceneFolder(root + "usr/share/rovanta/demo");
    EXPECT_EQ(findDemoFolder(root + "usr/bin/rovanta", built), installed);
    EXPECT_EQ(findDemoFolder(root + "usr/bin/rovanta", ""), installed);
    EXPECT_EQ(findDemoFolder(root + "elsewhere/bin/rovanta", root + "source"), "");  // no Scene.txt
    EXPECT_EQ(findDemoFolder("", built), built);
    EXPECT_NE(runningProgramPath().find("app_core_test"), std::string::npos);
}

}  // namespace
