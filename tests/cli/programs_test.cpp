// Every program answers --help and --version with status 0 and refuses a bad
// command line with status 2, its reason and the usage on standard error.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct ProgramRun {
    int status = -1;
    std::string out, err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class Programs : public ::testing::Test {
  protected:
    std::string dir;

    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/rovanta_cli_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    // Runs inside the temporary folder, so nothing can land elsewhere.
    ProgramRun run(const std::string& program, const std::string& arguments) const {
        const std::string command = "cd " + dir + " && " + program + " " + arguments + " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir + "/out.txt"), readFile(dir + "/err.txt")};
    }
};

std::vector<std::string> programPaths() {
    std::vector<std::string> paths;
    std::stringstream list(ROVANTA_PROGRAMS);
    for (std::string path; std::getline(list, path, '|');) paths.push_back(path);
    return paths;
}

std::string nameOf(const std::string& path) { return std::filesystem::path(path).filename().string(); }

// A command line each tool must refuse, and a word its reason must quote.
// (The game ignores what it does not know; its refusals are tested with its options.)
const std::map<std::string, std::pair<std::string, std::string>> kBadCommandLines = {
    {"rovanta-sim", {"--steps 256abc", "256abc"}},
    {"rovanta-autodrive", {"--out k.txt --laps 256abc", "256abc"}},
    {"rovanta-track", {"--camera c --pattern p --threshold 256abc x.ppm", "256abc"}},
    {"rovanta-mkpatt", {"--default-marker m.ppm 256abc", "256abc"}},
    {"rovanta-mkcamera", {"c.dat 256abc 480", "256abc"}},
    {"rovanta-mkcar", {"pilot m.3ds t.bmp", "pilot"}},
    {"rovanta-mkscreens", {"one two", "two"}},
    {"rovanta-demoscene", {"one two", "two"}},
    {"rovanta-demovideo", {"--camera c --markers m --out o.avi --poses p --fps 256abc", "256abc"}},
    {"rovanta-mkmarkers", {"--side 256abc out", "256abc"}},
    {"rovanta-demoprint", {"--markers m --dpi 256abc o.pdf", "256abc"}},
    {"rovanta-framebench", {"--frames 256abc", "256abc"}},
    {"rovanta-calibrate", {"--board 9x6 --square 256abc --out c.dat x.ppm", "256abc"}},
};

TEST_F(Programs, HelpAndVersionSucceed) {
    ASSERT_GE(programPaths().size(), 7u);
    for (const std::string& path : programPaths()) {
        const std::string name = nameOf(path);
        const ProgramRun help = run(path, "--help");
        EXPECT_EQ(help.status, 0) << name << help.err;
        EXPECT_NE(help.out.find("Usage: " + name), std::string::npos) << name << help.out;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << name;
        const ProgramRun version = run(path, "--version");
        EXPECT_EQ(version.status, 0) << name;
        EXPECT_EQ(version.out, name + " 0.0.0.1\n");
        EXPECT_EQ(help.err + version.err, "") << name;
    }
}

TEST_F(Programs, BadCommandLinesEndWithStatusTwoAndTheUsage) {
    for (const std::string& path : programPaths()) {
        const std::string name = nameOf(path);
        const auto bad = kBadCommandLines.find(name);
        if (name == "rovanta") continue;
        ASSERT_NE(bad, kBadCommandLines.end()) << "no bad command line listed for " << name;
        const ProgramRun result = run(path, bad->second.first);
        EXPECT_EQ(result.status, 2) << name;
        EXPECT_EQ(result.err.rfind(name + ": ", 0), 0u) << name << result.err;
        EXPECT_NE(result.err.find(bad->second.second), std::string::npos) << name << result.err;
        EXPECT_NE(result.err.find("Usage: " + name), std::string::npos) << name << result.err;
        EXPECT_EQ(result.out, "") << name;
        const auto written = std::distance(std::filesystem::directory_iterator(dir), {});
        EXPECT_EQ(written, 2) << name << ": wrote more than its two captured streams";
    }
}

std::string programPath(const std::string& name) {
    for (const std::string& path : programPaths())
        if (nameOf(path) == name) return path;
    return "";
}

// A size limit (or a full disk) fails the write, reported, and the file written
// earlier stays whole: every output goes through a temporary file.
TEST_F(Programs, OutputsAreWrittenWholeOrNotAtAll) {
    const struct {
        std::string program, arguments, output;
    } writers[] = {
        {"rovanta-mkcamera", "out 320 240", "out"},
        {"rovanta-mkpatt", "--default-marker out", "out"},
        {"rovanta-mkpatt", "m.ppm out", "out"},
        {"rovanta-calibrate", "--board 9x6 --square 25 --print-board out", "out"},
        {"rovanta-demoscene", "sd", "sd/Scene.txt"},
    };
    ASSERT_EQ(run(programPath("rovanta-mkpatt"), "--default-marker m.ppm").status, 0);
    std::filesystem::create_directory(dir + "/sd");
    const auto entries = [this] { return std::distance(std::filesystem::recursive_directory_iterator(dir), {}); };
    for (const auto& w : writers) {
        const std::string path = programPath(w.program);
        if (path.empty()) continue;  // a tool this build leaves out
        {
            std::ofstream earlier(dir + "/" + w.output);
            earlier << "earlier";
        }
        const auto before = entries();
        // The limit applies to the tool alone; its messages go through a pipe, which has none.
        const ProgramRun limited = run("{ (ulimit -f 0; exec " + path + " " + w.arguments + ") 2>&1; echo status $?; } | cat", "");
        EXPECT_NE(limited.out.find("File too large"), std::string::npos) << w.program << ": " << limited.out;
        EXPECT_EQ(limited.out.find("status 0"), std::string::npos) << w.program;
        EXPECT_EQ(readFile(dir + "/" + w.output), "earlier") << w.program;
        EXPECT_EQ(entries(), before) << w.program << ": left files behind";
    }
}

// A forgotten or mistyped output name, by any name or link, never replaces an
// input, a picture or a video; a tool may replace a file of the format it writes.
TEST_F(Programs, NoOutputReplacesAnInputAPictureOrAVideo) {
    const std::map<std::string, std::string> kept = {{"photo.png", std::string("\x89PNG\r\n\x1a\n", 8) + "pixels"},
                                                     {"clip.avi", std::string("RIFF\0\0\0\0AVI LIST", 16)},
                                                     {"Scene.txt", "SCENE-V-0.0.1\n"}};
    for (const auto& [name, content] : kept) std::ofstream(dir + "/" + name, std::ios::binary) << content;
    std::filesystem::create_symlink("photo.png", dir + "/link.png");
    std::filesystem::create_hard_link(dir + "/clip.avi", dir + "/hard.avi");
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    ASSERT_EQ(run(programPath("rovanta-mkpatt"), "--default-marker m.ppm").status, 0);
    const struct {
        std::string program, arguments, says;
    } cases[] = {
        {"rovanta-mkcamera", "photo.png", "photo.png holds a picture (PNG)"},
        {"rovanta-mkcamera", "link.png", "link.png holds a picture (PNG)"},
        {"rovanta-mkcamera", "fifo", "a named pipe"},
        {"rovanta-mkcamera", "nowhere/c.dat", "the folder nowhere does not exist"},
        {"rovanta-calibrate", "--board 9x6 --square 25 --print-board hard.avi", "hard.avi holds a video (AVI)"},
        {"rovanta-calibrate", "--board 9x6 --square 25 --out link.png photo.png", "link.png is also an input"},
        {"rovanta-mkpatt", "--default-marker photo.png", "photo.png holds a picture (PNG)"},
        {"rovanta-mkpatt", "m.ppm ./m.ppm", "./m.ppm is also an input"},
        {"rovanta-autodrive", "--out ./Scene.txt", "./Scene.txt is also an input"},
        {"rovanta-mkcar", "player car.3ds ./car.3ds", "car.3ds is also an input"},
        {"rovanta-mkcar", "player clip.avi car.bmp", "clip.avi holds a video (AVI)"},
    };
    for (const auto& c : cases) {
        const std::string path = programPath(c.program);
        if (path.empty()) continue;  // a tool this build leaves out
        const ProgramRun result = run(path, c.arguments);
        EXPECT_EQ(result.status, 2) << c.program << " " << c.arguments;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.program << " " << c.arguments << ": " << result.err;
    }
    for (const auto& [name, content] : kept) EXPECT_EQ(readFile(dir + "/" + name), content) << name;
    EXPECT_FALSE(std::filesystem::exists(dir + "/car.3ds"));
    EXPECT_EQ(run(programPath("rovanta-mkpatt"), "--default-marker m.ppm").status, 0) << "its own kind is replaced";
}

// The demo video is a build output: a render that fails or is killed must not
// leave a truncated file under the final name, or the build takes it as done.
TEST_F(Programs, DemoVideoLeavesNothingUnderItsNamesUnlessComplete) {
    const std::string video = programPath("rovanta-demovideo");
    ASSERT_EQ(run(programPath("rovanta-mkcamera"), "c.dat").status, 0);
    ASSERT_EQ(run(programPath("rovanta-mkpatt"), "--default-marker marker.ppm").status, 0);
    ASSERT_EQ(run(programPath("rovanta-mkmarkers"), ".").status, 0);
    const std::string common = " --camera c.dat --markers . --out o.avi --size 64x48 --threads 1";
    EXPECT_EQ(run(video, common + " --poses missing/p.txt --seconds 0.1").status, 1);
    EXPECT_EQ(run("timeout -s KILL 1 " + video, common + " --poses p.txt --seconds 3600").status, 137);
    for (const char* name : {"o.avi", "p.txt"}) EXPECT_FALSE(std::filesystem::exists(dir + "/" + name)) << name;
    ASSERT_EQ(run(video, common + " --poses p.txt --seconds 0.1").status, 0);
    EXPECT_GT(std::filesystem::file_size(dir + "/o.avi"), 0u);
    EXPECT_NE(readFile(dir + "/p.txt").find("\n2 "), std::string::npos) << "three frames' poses";
}

}  // namespace
