// The committed demo key scripts replayed by rovanta-sim, and
// rovanta-autodrive run end to end.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "common/scratch_dir.h"

namespace {

const std::string kDemo = ROVANTA_DEMO_DIR;

struct ToolRun {
    int status = -1;
    int lines = 0;
    std::string lastLine;
};

// Runs a command inside the demo folder, keeping only the last line of its output.
ToolRun runInDemo(const std::string& command)
{
    ToolRun run;
    std::FILE* pipe = popen(("cd '" + kDemo + "' && " + command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return run;
    std::string line;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        line += buffer;
        if (line.back() == '\n') {
            run.lastLine = line.substr(0, line.size() - 1);
            ++run.lines;
            line.clear();
        }
    }
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

ToolRun replay(const std::string& keys)
{
    return runInDemo(std::string(ROVANTA_SIM_PATH) + " -s Scene.txt --keys " + keys);
}

int countLines(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    int lines = 0;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) lines += c == '\n';
    std::fclose(file);
    return lines;
}

nlohmann::json field(const std::string& line, const char* key) { return nlohmann::json::parse(line).at(key); }

TEST(AutodriveDemoKeys, WinScriptWinsTheRace)
{
    const ToolRun run = replay("keys/win.txt");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(field(run.lastLine, "state"), "won") << run.lastLine;
    EXPECT_EQ(field(run.lastLine, "playerLap"), 10) << run.lastLine;
}

TEST(AutodriveDemoKeys, LoseScriptLetsTheOpponentWin)
{
    const ToolRun run = replay("keys/lose.txt");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(field(run.lastLine, "state"), "lost") << run.lastLine;
    EXPECT_EQ(field(run.lastLine, "opponentLaps"), 9) << run.lastLine;
}

// The race ends with the script's last line, so no step of it is wasted.
TEST(AutodriveDemoKeys, OneLapScriptCompletesExactlyOneLapOnItsLastStep)
{
    const ToolRun run = replay("keys/one-lap.txt");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(field(run.lastLine, "playerLap"), 2) << run.lastLine;
    EXPECT_EQ(field(run.lastLine, "state"), "race") << run.lastLine;
    EXPECT_EQ(run.lines, countLines(kDemo + "/keys/one-lap.txt"));
    const ToolRun shorter = runInDemo(std::string(ROVANTA_SIM_PATH) + " -s Scene.txt --keys keys/one-lap.txt --steps " +
                                  std::to_string(run.lines - 1));
    EXPECT_EQ(field(shorter.lastLine, "playerLap"), 1) << shorter.lastLine;
}

class AutodriveTool : public ::testing::Test {
protected:
    std::string dir = testScratchDir();
};

TEST_F(AutodriveTool, ScriptItWritesReplaysToTheSameLapInTheSimulator)
{
    const std::string keys = dir + "/two.txt";
    const ToolRun drive = runInDemo(std::string(ROVANTA_AUTODRIVE_PATH) + " --laps 2 --target-speed 3 --out " + keys);
    ASSERT_EQ(drive.status, 0);
    EXPECT_NE(drive.lastLine.find("playerLap 3"), std::string::npos) << drive.lastLine;
    const ToolRun run = replay(keys);
    EXPECT_EQ(field(run.lastLine, "playerLap"), 3) << run.lastLine;
    EXPECT_EQ(run.lines, countLines(keys));
}

TEST_F(AutodriveTool, WritesNothingWhenTheGoalIsNotReachedOrTheSceneIsBad)
{
    const std::string keys = dir + "/keys.txt";
    const std::string tool = ROVANTA_AUTODRIVE_PATH;
    EXPECT_EQ(runInDemo(tool + " --laps 1 --max-steps 50 --out " + keys).status, 1);
    EXPECT_NE(access(keys.c_str(), F_OK), 0);
    EXPECT_EQ(runInDemo(tool + " --scene no-such-scene.txt --out " + keys).status, 1);
    EXPECT_NE(access(keys.c_str(), F_OK), 0);
    EXPECT_EQ(runInDemo(tool + " --laps 12 --out " + keys).status, 2);
}

}  // namespace
