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
    uint8_t flat[kPatternFileValues];
    std::fill(flat, flat + kPatternFileValues, 128);
    const std::string flatPattern = files.file("flat.patt");
    ASSERT_EQ(savePatternFile(flatPattern.c_str(), flat), 0);
    const std::string pipe = files.pipe("pipe.txt");
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
        {"mat with an unknown word", kDemo + "/mat.txt", badMat, "", "pattern load error !!\n",
         badMat + ":3: unknown word \"MARKR\"", 1},
        {"video is a pipe", kDemo + "/video/demo.avi", pipe, "", "", pipe + ": a named pipe, not a regular file", 1},
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

}  // namespace
