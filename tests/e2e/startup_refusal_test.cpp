// Start-up on broken input, as a user would meet it: the game ends at once
// with a non-zero status, prints the usual message where there is one, and
// says on standard error which file is wrong and why.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "common/scratch_dir.h"
#include "tracking/camera.h"
#include "tracking/pattern.h"
#include "x_session.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

struct GameRun {
    int status = -1;
    std::string out, err;
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The demo's scene with its files named absolutely, in a folder of its own
// with copies of the screen images.
class BrokenDemo {
public:
    explicit BrokenDemo(const ScratchDir& dir) : dir_(dir) {
        std::filesystem::create_directory(dir.file("Data"));
        for (const char* name : {"main.bmp", "main_win.bmp", "main_lose.bmp"})
            std::filesystem::copy_file(kDemo + "/Data/" + name, dir.file("Data/") + name);
        scene_ = readText(kDemo + "/Scene.txt");
        for (const char* folder : {"video/", "camera/", "marker/", "models/", "textures/"})
            for (size_t at = scene_.find(std::string(" ") + folder); at != std::string::npos;
                 at = scene_.find(std::string(" ") + folder, at + 1))
                scene_.insert(at + 1, kDemo + "/");
        const size_t pattern = scene_.find("\nPATTERN ") + 9;
        scene_.insert(pattern, kDemo + "/");
    }
    void replace(const std::string& from, const std::string& to) { scene_.replace(scene_.find(from), from.size(), to); }
    GameRun run(const std::string& scenePath = "") const {
        const std::string scene = scenePath.empty() ? dir_.write("Scene.txt", scene_) : scenePath;
        const std::string out = dir_.file("out.txt"), err = dir_.file("err.txt");
        const char* asan = std::getenv("ASAN_OPTIONS");
        // The software renderer keeps memory to the end, which a leak checker would blame on the game.
        const std::string command = "cd " + dir_.path() + " && DISPLAY=" + display + " ASAN_OPTIONS=" +
                                    (asan ? asan : "") + ":detect_leaks=0 timeout 60 " + ROVANTA_GAME_PATH + " -s " +
                                    scene + " >" + out + " 2>" + err;
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(out), readText(err)};
    }
    std::string display;

private:
    const ScratchDir& dir_;
    std::string scene_;
};

// A valid 8 x 4 screen image: 24-bit, pixels from byte 54.
std::string smallScreenImage() {
    std::string bytes(54 + 8 * 4 * 3, '\x40');
    const unsigned char header[54] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 8, 0, 0, 0,
                                      4, 0, 0, 0, 1, 0, 24};
    std::copy(header, header + 54, bytes.begin());
    return bytes;
}

TEST(StartupRefusals, BrokenFilesEndStartUpNamingTheFileAndTheCause) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    XSession x;
    ASSERT_TRUE(x.startServer());

    ScratchDir files;
    CameraIntrinsics camera{};
    ASSERT_EQ(loadCameraParams((kDemo + "/camera/camera_para.dat").c_str(), 1, &camera), 0);
    camera.projection[0][2] = NAN;
    const std::string nanCamera = files.file("nan.dat");
    ASSERT_EQ(saveCameraParams(nanCamera.c_str(), &camera, 1), 0);
    camera.projection[0][2] = 320.0;
    camera.distortion[3] = 5e-324;  // finite and positive, but no camera's scale
    const std::string denormalCamera = files.file("denormal.dat");
    ASSERT_EQ(saveCameraParams(denormalCamera.c_str(), &camera, 1), 0);
    uint8_t flat[kPatternFileValues];
    std::fill(flat, flat + kPatternFileValues, 128);
    const std::string flatPattern = files.file("flat.patt");
    ASSERT_EQ(savePatternFile(flatPattern.c_str(), flat), 0);
    const std::string pipe = files.pipe("pipe.txt");
    const std::string playlist = files.write("list.avi", "ffconcat version 1.0\nfile '" + pipe + "'\n");
    const std::string badMat = files.write("mat.txt", "# a mat\nMARKER " + kDemo + "/marker/marker.patt 0 0 80\nMARKR\n");

    const struct {
        const char* name;
        std::string from, to, scenePath, out, err;
        int status;
    } cases[] = {
        {"screen image of another size", "", "", "", "",
         "screen image Data\\main_lose.bmp is 8x4 but Data\\main.bmp is 640x480", 255},
        {"negative count", "BOXES 3", "BOXES -7", "", "",
         "Scene.txt:5: expected \"BOXES %d\" with a count of 0 or more, not -7", 1},
        {"scene is a pipe", "", "", pipe, "",
         "cannot open scene file \"" + pipe + "\": a named pipe, not a regular file", 1},
        {"camera with nan", kDemo + "/camera/camera_para.dat", nanCamera, "", "Camera parameter load error !!\n",
         nanCamera + ": unusable camera parameters: projection[0][2] is nan", 1},
        {"pattern without contrast", kDemo + "/mat.txt", flatPattern, "", "pattern load error !!\n",
         flatPattern + ": orientation 0 has no contrast", 1},
        {"camera with a denormal scale", kDemo + "/camera/camera_para.dat", denormalCamera, "",
         "Camera parameter load error !!\n",
         denormalCamera + ": unusable camera parameters: distortion[3] (the scale) 4.94066e-324 is not between", 1},
        {"mat with an unknown word", kDemo + "/mat.txt", badMat, "", "pattern load error !!\n",
         badMat + ":3: unknown word \"MARKR\"", 1},
        {"video is a pipe", kDemo + "/video/demo.avi", pipe, "", "", pipe + ": a named pipe, not a regular file", 1},
        {"video is a playlist naming a pipe", kDemo + "/video/demo.avi", playlist, "", "",
         playlist + ": a Virtual concatenation script file, not a video file", 1},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        BrokenDemo demo(dir);
        demo.display = x.display();
        if (!c.from.empty()) demo.replace(c.from, c.to);
        if (std::string(c.name) == "screen image of another size") dir.write("Data/main_lose.bmp", smallScreenImage());
        const GameRun run = demo.run(c.scenePath);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.name << ": " << run.err;
        EXPECT_EQ(run.out.substr(run.out.size() - std::min(run.out.size(), c.out.size())), c.out) << c.name;
    }
}

// With --demo the game runs in the demo folder: what is missing is said to be
// missing there, not as if the game had been started elsewhere.
TEST(StartupRefusals, DemoFolderProblemsNameTheDemoFolder) {
    std::string missing;
    if (!toolsAvailable(&missing)) GTEST_SKIP() << missing << " is not installed";
    XSession x;
    ASSERT_TRUE(x.startServer());
    ScratchDir dir;
    std::filesystem::create_directories(dir.file("share/rovanta/demo"));
    // As the game names it: the folder beside its own (link-free) path.
    const std::string demo = std::filesystem::canonical(dir.file("share/rovanta/demo")).string();
    std::filesystem::create_directory(dir.file("bin"));
    std::filesystem::copy_file(ROVANTA_GAME_PATH, dir.file("bin/rovanta"));
    std::filesystem::copy_file(kDemo + "/Scene.txt", demo + "/Scene.txt");
    const auto runDemo = [&](const std::string& arguments) {
        const std::string command = "cd " + dir.path() + " && DISPLAY=" + x.display() +
                                    " ASAN_OPTIONS=detect_leaks=0 timeout 60 bin/rovanta --demo " + arguments +
                                    " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        return GameRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readText(dir.file("out.txt")),
                       readText(dir.file("err.txt"))};
    };
    const GameRun noData = runDemo("");
    EXPECT_EQ(noData.status, 255);
    EXPECT_NE(noData.err.find("in the demo folder " + demo + ", which is incomplete"), std::string::npos) << noData.err;
    EXPECT_EQ(noData.err.find("rovanta --demo"), std::string::npos) << noData.err;

    std::filesystem::copy(kDemo + "/Data", demo + "/Data");
    const GameRun noScene = runDemo("-s s.txt");
    EXPECT_EQ(noScene.status, 1);
    EXPECT_NE(noScene.err.find("cannot open scene file \"s.txt\": No such file or directory (looked in the demo folder " +
                               demo + ")"),
              std::string::npos)
        << noScene.err;
}

}  // namespace
